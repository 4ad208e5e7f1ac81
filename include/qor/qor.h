/* libqor_fnx_e8r: the whole public C interface. */
#ifndef QOR_QOR_H
#define QOR_QOR_H

#include "qor/qor_api.h"
#include "qor/service.h"
#include "qor/vm.h"
#include "qor/rng.h"
#include "qor/prim.h"
#include "qor/stats.h"
#include "qor/df.h"

#endif
