// A client of the public headers alone, built against include/ and linked to
// the shared library only: the value-returning connector's header compiles
// without the library's own headers, every method has its exact signature
// and is exported (each is taken by address), and a connector can be made
// and destroyed from such a client.
#include <linkwell/PyDataPlayer.hpp>
#include <linkwell/PythonLinkwell.hpp>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <type_traits>

// A namespace of its own: the program's other files build tables and
// helpers of the same names.
namespace python_linkwell_signatures {

using namespace Sarvik;

template <typename Signature, typename Class> constexpr Signature Class::*exactly(Signature Class::*method)
{
    return method;
}

// clang-format off
[[maybe_unused]] constexpr auto connector_methods = std::make_tuple(
    exactly<void(std::string)>(&PythonLinkwell::open),
    exactly<void()>(&PythonLinkwell::close),
    exactly<void(int)>(&PythonLinkwell::set_log_level),
    exactly<void(unsigned int)>(&PythonLinkwell::set_default_timeout),
    exactly<std::string()>(&PythonLinkwell::git_sha),
    exactly<PyDataRecorder&()>(&PythonLinkwell::get_data_recorder),
    exactly<PyCorvid&()>(&PythonLinkwell::get_corvid),
    exactly<Transport&()>(&PythonLinkwell::get_transport),
    exactly<Z3&()>(&PythonLinkwell::get_z3),
    exactly<PyDax&()>(&PythonLinkwell::get_dax),
    exactly<PyOsprey&()>(&PythonLinkwell::get_osprey),
    exactly<PyFalcon&()>(&PythonLinkwell::get_falcon),
    exactly<PyGannet&()>(&PythonLinkwell::get_gannet),
    exactly<NotSupported&()>(&PythonLinkwell::get_not_supported));
// clang-format on

static_assert(std::is_constructible_v<PythonLinkwell, const std::string&, int>);
static_assert(std::is_constructible_v<PythonLinkwell, int>);
static_assert(!std::is_convertible_v<int, PythonLinkwell>);
static_assert(std::is_constructible_v<PythonLinkwell, unsigned int, unsigned short, int>);
static_assert(std::is_constructible_v<PythonLinkwell, PyDataPlayer&, int>);
static_assert(std::is_constructible_v<PythonLinkwell, AbstractFactory*, Logger*, const std::string&>);
static_assert(std::has_virtual_destructor_v<PythonLinkwell>);
static_assert(!std::is_copy_constructible_v<PythonLinkwell> && !std::is_copy_assignable_v<PythonLinkwell>);
static_assert(!std::is_move_constructible_v<PythonLinkwell> && !std::is_move_assignable_v<PythonLinkwell>);

TEST(PythonLinkwellClient, AConnectorWithoutADeviceComesAndGoes)
{
    // Its debug file, should it write one, goes into a directory of its
    // own.
    char dir[] = "/tmp/linkwell-client-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    char old[4096];
    ASSERT_NE(nullptr, getcwd(old, sizeof old));
    ASSERT_EQ(0, chdir(dir));
    {
        PythonLinkwell connector(0);
        EXPECT_EQ(&connector.get_osprey(), &connector.get_osprey());
        EXPECT_FALSE(connector.git_sha().empty());
    }
    ASSERT_EQ(0, chdir(old));
    std::filesystem::remove_all(dir);
}

} // namespace python_linkwell_signatures
