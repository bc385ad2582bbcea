#include "raster/render_context.h"

// The factor in force when the library loads.
RenderContext renderContext = [] {
    RenderContext context{};
    context.aaFactor = 4;
    return context;
}();
