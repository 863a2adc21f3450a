#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// Names a parameterised GoogleTest case after its row's `name` field, with
// every character GoogleTest does not allow in a name turned into '_'.
struct ParamName
{
    template<typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param> &info) const
    {
        std::string name = info.param.name;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    }
};
