#pragma once
// The component's developer log: one line on standard error, opened by the bracketed prefix of
// the area that speaks ("[Mishap:Crash]", "[Kitbase]", ...). Ordinary-time code only.

#include <QString>

void MSHLog(const char *prefix, const QString &message);
