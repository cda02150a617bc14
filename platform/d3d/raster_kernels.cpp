// The rectangle kernels for any processor of the platform.
#define RASTER_KERNEL_PICK PickRectBaseline
#include "platform/d3d/raster_kernels.hpp"
