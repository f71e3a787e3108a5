#pragma once
// A kit the kit host starts at launch: its class name (the key it is filed under) and what it
// answers of start, bundle identifier and version. An empty answer means the kit does not
// implement that operation.

#include <QString>

#include <optional>

class KTBKit
{
public:
    virtual ~KTBKit() = default;
    virtual QString kitClassName() const = 0;
    virtual bool implementsStart() const { return true; }
    virtual void start() {}
    virtual std::optional<QString> bundleIdentifier() const { return std::nullopt; }
    virtual std::optional<QString> version() const { return std::nullopt; }
};
