#include <linkwell/Z3.hpp>

namespace Sarvik {

Z3::~Z3() = default;

} // namespace Sarvik
