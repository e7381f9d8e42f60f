// The pool the program starts with before DEFAULT.POL is read, and the one a lab gets
// when it has none: a round 80-unit pool in the middle of the picture with four rings and
// one platform per quadrant, 30 units from the centre on each axis.
#pragma once

#include "pool/pool_setup.h"

namespace tarnwell {

// Sets every field of `pool` to the default, ring radii included (so nothing ever sees
// unset rings, which would put every sample outside the pool).
void SetDefaultPool(PoolSetup& pool);

// A pool holding the defaults.
PoolSetup DefaultPool();

}  // namespace tarnwell
