// libFuzzer entry for the address book's vCard reader. Any input must parse
// without a fault the sanitizers see, and every person must hold something
// and no picture beyond the bound.

#include "platform/TWAddressBook.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const TWPersonPtr &person : TWVCardParser::parse(bytes)) {
        if (!person || person->imageData.size() > TWVCardParser::maximumPhotoBytes)
            std::abort();
        const bool empty = person->organization.isEmpty() && person->firstName.isEmpty() &&
                           person->lastName.isEmpty() && person->note.isEmpty() &&
                           person->addresses.isEmpty() && person->phones.isEmpty() &&
                           person->emails.isEmpty() && person->urls.isEmpty() &&
                           person->imageData.isEmpty();
        if (empty)
            std::abort();
    }
    if (TWVCardParser::decodeQuotedPrintable(bytes).size() > bytes.size())
        std::abort();
    return 0;
}
