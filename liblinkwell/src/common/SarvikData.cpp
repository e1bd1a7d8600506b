#include <linkwell/SarvikData.hpp>

namespace Sarvik {

// The baseband frames carry the largest sample vectors of any record; their
// destructors release them inside the library.
BasebandIqData::~BasebandIqData() = default;
BasebandApData::~BasebandApData() = default;

} // namespace Sarvik
