#include "display/value_to_pixel.h"

double DbLevelToY(const AxisScale& axis, double levelDb, int top, int ph) {
    return top + (axis.reference - levelDb) * ph / (axis.scale * axis.divisions);
}
