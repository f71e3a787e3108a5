#pragma once
// How a sheet ended: the code the document's `endSheet` hands to the sheet's
// completion. The code travels as an int (the completion, `endRequested`,
// QDialog::done), so a sheet may also end with a code of its own; these name
// the two every editor uses, compare with an int code and convert to one.

enum class TWSheetResult : int {
    Cancelled = -1001,
    Confirmed = -1002, // saved, done, or the sheet's action taken
};

constexpr int sheetReturnCode(TWSheetResult result)
{
    return static_cast<int>(result);
}

constexpr bool operator==(int returnCode, TWSheetResult result)
{
    return returnCode == sheetReturnCode(result);
}
