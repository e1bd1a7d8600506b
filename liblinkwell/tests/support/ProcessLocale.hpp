// Runs a test under another locale of the process, as a host program may
// switch to: the C and the C++ global locale together, both restored after.
#pragma once

#include <clocale>
#include <cstdlib>
#include <locale>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace testsupport {

class ProcessLocale {
public:
    explicit ProcessLocale(const std::string& name)
        : old_c_(std::setlocale(LC_ALL, nullptr))
    {
        ok_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
        if (ok_)
            old_cpp_ = std::locale::global(std::locale(name));
    }
    ~ProcessLocale()
    {
        std::setlocale(LC_ALL, old_c_.c_str());
        std::locale::global(old_cpp_);
    }
    // The locale exists, and the standard conversions read a decimal comma.
    bool reads_decimal_comma() const { return ok_ && std::strtof("1,5", nullptr) == 1.5f; }

private:
    std::string old_c_;
    std::locale old_cpp_;
    bool ok_ = false;
};

inline constexpr const char* comma_locale = "de_DE.UTF-8";

// Runs a table row under the plain C locale or under a comma-decimal locale.
class UnderLocale : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (std::string(GetParam()) == "C")
            return;
        locale_ = std::make_unique<ProcessLocale>(GetParam());
        if (!locale_->reads_decimal_comma())
            GTEST_SKIP() << "no comma-decimal locale " << GetParam()
                         << " on this machine (scripts/install-deps.sh generates it)";
    }
    void TearDown() override { locale_.reset(); }

private:
    std::unique_ptr<ProcessLocale> locale_;
};

inline std::string locale_name(const testing::TestParamInfo<const char*>& param_info)
{
    return std::string(param_info.param) == "C" ? "CLocale" : "CommaDecimalLocale";
}

} // namespace testsupport
