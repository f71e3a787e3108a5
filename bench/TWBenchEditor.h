#pragma once
// The transaction editor's phases for the register benchmark: saving a new
// transaction through the editor (and refreshing the register after it), and
// the autofill lookup that fills a new transaction from the latest one with
// the same payee.

#include <functional>

class TWBusinessController;

struct TWBenchEditorTimes {
    bool ok = false;
    // Milliseconds of the editor's save, register refresh included.
    double editorSave = 0;
    // Milliseconds of one autofill lookup.
    double autofillLookup = 0;
};

// Runs both phases on the document's business (its ledger loaded), a few
// times each, and answers the slowest run of each. `refreshRegister` is what
// the register does when a transaction was added (may be empty).
TWBenchEditorTimes twBenchEditorPhases(TWBusinessController &document,
                                       const std::function<void()> &refreshRegister);
