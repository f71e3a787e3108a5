#include "model/TWTotalType.h"

void TWUpdateTotalsFromMaster(int masterTotalType, int totalType,
                              std::initializer_list<TWTotalSlot> amounts,
                              const TWUnitConverter &convert)
{
    if (!convert)
        return;

    // The master amount and its unit, read before anything changes.
    const TWTotalSlot *master = nullptr;
    for (const TWTotalSlot &slot : amounts) {
        if (slot.type == masterTotalType) {
            master = &slot;
            break;
        }
    }
    if (!master || !*master->unit)
        return;
    const qint64 source = *master->amount;
    const TWUnitPtr sourceUnit = *master->unit;

    for (const TWTotalSlot &slot : amounts) {
        if (slot.type == masterTotalType || !*slot.unit)
            continue;
        if (totalType == TWTotalTypeAll || totalType == slot.type)
            *slot.amount = convert(source, *sourceUnit, **slot.unit);
    }
}
