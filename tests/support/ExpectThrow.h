// Asserts that a statement throws exactly one exception type with an exact what() text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

// Asserts that `statement` throws exactly `Exception` with the text `message` from what().
#define EXPECT_THROW_MESSAGE(statement, Exception, message)                            \
    do {                                                                               \
        try {                                                                          \
            statement;                                                                 \
            ADD_FAILURE() << "no exception from " #statement;                          \
        } catch (const Exception& e_) {                                                \
            EXPECT_STREQ(typeid(Exception).name(), typeid(e_).name()) << "exact type"; \
            EXPECT_EQ(std::string(message), e_.what());                                \
        } catch (...) {                                                                \
            ADD_FAILURE() << "another exception from " #statement;                     \
        }                                                                              \
    } while (false)
