// The entries of the unit pop-up menus, from the business's units.

#include "store/TWUnitMenu.h"

#include "store/TWBusiness.h"

namespace
{

TWUnitMenuItem separator()
{
    TWUnitMenuItem item;
    item.separator = true;
    return item;
}

TWUnitMenuItem unitItem(const TWUnitPtr &unit, bool mileage)
{
    TWUnitMenuItem item;
    item.unit = unit;
    if (mileage)
        item.title = unit->name();
    else if (!unit->description().isEmpty())
        item.title =
            QStringLiteral("%1 (%2 / %3)").arg(unit->name(), unit->description(), unit->code());
    else
        item.title = QStringLiteral("%1 (%2)").arg(unit->name(), unit->code());
    return item;
}

} // namespace

TWUnitMenuItems twUnitMenuItems(const TWBusiness &business, bool includeMileage)
{
    TWUnitMenuItems items;
    const auto add = [&items](const TWUnitList &units, bool mileage) {
        for (const TWUnitPtr &unit : units) {
            if (unit)
                items.append(unitItem(unit, mileage));
        }
    };
    if (includeMileage) {
        add(business.unitsOfType(TWUnitTypeMileage), true);
        items.append(separator());
    }
    // A favourite mileage unit stays out of a menu that offers no mileage.
    TWUnitList favourites = business.favouriteUnits();
    if (!includeMileage)
        favourites.removeIf(
            [](const TWUnitPtr &unit) { return unit && unit->type() == TWUnitTypeMileage; });
    if (!favourites.isEmpty()) {
        add(favourites, false);
        items.append(separator());
    }
    add(business.unitsOfType(TWUnitTypeCurrency), false);
    const TWUnitList custom = business.unitsOfType(TWUnitTypeCustom);
    if (!custom.isEmpty()) {
        items.append(separator());
        add(custom, false);
    }
    return items;
}
