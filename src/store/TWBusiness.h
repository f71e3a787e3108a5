#pragma once
// The store of one open business document (placeholder until the store core
// lands; model headers forward-declare it).

class TWBusiness;
