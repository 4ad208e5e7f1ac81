// The memory loader with a known image size, for callers that have one (the fuzz target, the
// tool): an image that claims more bytes than `limit` is refused with HOX_ERR_BAD_MEMORY_IMAGE
// instead of being read past its end. __hoxLoadStreamM is this with no limit.
#pragma once

#include <cstdint>

#include "qor/rng.h"

namespace qor::rng {

int32_t load_stream_image(HoxStream* stream, const void* memory, uint64_t limit);

}  // namespace qor::rng
