#pragma once
// The entries of a unit pop-up menu from the business's units.

#include "model/TWUtilities.h"

class TWBusiness;

// The mileage units by name (when asked for) and a separator; the favourite
// units and a separator (when there are any); the currencies; a separator and
// the custom units (when there are any). Units other than mileage ones are
// titled "name (description / code)", or "name (code)" without a description.
TWUnitMenuItems twUnitMenuItems(const TWBusiness &business, bool includeMileage);
