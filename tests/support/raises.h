#pragma once

#include <string>

namespace kavrel::test {

// The message of the exception of class E that f raises; a message saying so when it raises
// nothing. An exception of another class goes on, so the test fails with its text.
template <class E, class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<nothing raised>";
}

}  // namespace kavrel::test
