// A module for lifecycle tests. Each hook tells the host it ran ("void TestEvent( string )") and
// asks the host how to end ("long TestBehaviour( string )": 0 return, 1 a standard exception,
// 2 a non-standard one, 3 an error of the module's own).
#include <cstring>
#include <stdexcept>

#include "errors/Exceptions.h"
#include "hostcall/References.h"
#include "shell/PlugInMain.h"

namespace {

using namespace Vorna;

const FrameworkUnitUsers sUsers;

template <class T>
void Put(ScriptArgRecord& record, T value) {
    std::memcpy(record.bytes, &value, sizeof value);
}

void TestEvent(const char* what) {
    static Function sCache;
    ScriptArgRecord records[1];
    Put(records[0], what);
    sUsers.fEnvironmentUser.CallScriptFunction(&sCache, 1, records, "void TestEvent( string )");
}

std::int32_t TestBehaviour(const char* hook) {
    static Function sCache;
    ScriptArgRecord records[2];
    Put(records[1], hook);
    sUsers.fEnvironmentUser.CallScriptFunction(&sCache, 2, records, "long TestBehaviour( string )");
    std::int32_t answer;
    std::memcpy(&answer, records[0].bytes, sizeof answer);
    return answer;
}

void Hook(const char* name) {
    TestEvent(name);
    switch (TestBehaviour(name)) {
        case 1: throw std::runtime_error(std::string(name) + " failed");
        case 2: throw 42;
        case 3: ThrowMessage("The module refused.");
        default: break;
    }
}

// A script function: "long Twice( long )".
std::int32_t Twice(std::int32_t value) {
    std::int32_t result = 0;
    PlugIn::RunGuarded([&] {
        Hook("Twice");
        result = 2 * value;
    });
    return result;
}

class LifecyclePlugIn : public PlugIn::PlugInMain {
  public:
    void Startup() override {
        AddFunction("long Twice( long )", reinterpret_cast<void*>(&Twice));
        AddFunction("long Thrice( long )", reinterpret_cast<void*>(&Twice));
        Hook("Startup");
    }
    void Run() override { Hook("Run"); }
    void Cleanup() override { Hook("Cleanup"); }
    void Shutdown() override { Hook("Shutdown"); }
};

LifecyclePlugIn sPlugIn;

}  // namespace
