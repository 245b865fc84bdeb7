// Reference counting of interfaces and objects, anomaly detection and leak reports.
#include <gtest/gtest.h>

#include "HostTestSupport.h"

using namespace StandIn;
using StandInTest::ModuleSide;

namespace {

bool anyAnomalyContains(const Host& host, const std::string& text) {
    for (const std::string& a : host.anomalies()) {
        if (a.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(InterfaceCounting, EnvironmentCountsAreTrackedAndOverReleaseIsAnAnomaly) {
    Host host;
    Vorna::HostEnvironment* env = host.environment();
    env->table->addReference(env);
    env->table->addReference(env);
    EXPECT_EQ(host.environmentReferences(), 2);
    env->table->release(env);
    env->table->release(env);
    EXPECT_EQ(host.environmentReferences(), 0);
    EXPECT_TRUE(host.anomalies().empty());
    env->table->release(env);
    EXPECT_EQ(host.environmentReferences(), 0);
    EXPECT_TRUE(anyAnomalyContains(host, "environment released"));
}

TEST(InterfaceCounting, OneClassInterfacePerKeyCountedPerRequest) {
    Host host;
    Vorna::HostEnvironment* env = host.environment();
    Vorna::HostClassInterface* a = env->table->classInterface(env, 0, typeKey(ObjectKind::Image));
    Vorna::HostClassInterface* b = env->table->classInterface(env, 0, typeKey(ObjectKind::Image));
    Vorna::HostClassInterface* s = env->table->classInterface(env, 0, typeKey(ObjectKind::String));
    EXPECT_EQ(a, b);
    EXPECT_NE(a, s);
    EXPECT_EQ(host.classInterfaceReferences(ObjectKind::Image), 2);
    a->table->release(a);
    EXPECT_EQ(host.classInterfaceReferences(ObjectKind::Image), 1);
    EXPECT_FALSE(host.leakReport().clean());
    b->table->release(b);
    s->table->release(s);
    EXPECT_TRUE(host.leakReport().clean()) << host.leakReport().toString();
}

TEST(InterfaceCounting, UnknownTypeKeyGetsAGenericInterfaceAndIsRecorded) {
    Host host;
    Vorna::HostEnvironment* env = host.environment();
    Vorna::HostClassInterface* c = env->table->classInterface(env, 0, "Vorna:Photarion:Nonsense");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(host.unknownTypeKeys(), std::vector<std::string>{"Vorna:Photarion:Nonsense"});
    Vorna::Handle image = host.createImage(ImageSpec{ElementType::Float32, {2, 2}, "x"});
    c->table->addObjectReference(c, image);
    EXPECT_EQ(host.moduleReferences(image), 1);
    c->table->releaseObjectReference(c, image);
    c->table->release(c);
    host.drop(image);
    EXPECT_TRUE(host.leakReport().clean()) << host.leakReport().toString();
}

TEST(InterfaceCounting, CallContextsAreFreshCountedAndCanBeRefused) {
    Host host;
    Vorna::HostEnvironment* env = host.environment();
    Vorna::HostCallContext* one = env->table->newCallContext(env);
    Vorna::HostCallContext* two = env->table->newCallContext(env);
    EXPECT_NE(one, two);
    EXPECT_EQ(host.openCallContexts(), 2);
    one->table->release(one);
    EXPECT_EQ(host.openCallContexts(), 1);
    LeakReport report = host.leakReport();
    ASSERT_EQ(report.interfaces.size(), 1u);
    EXPECT_EQ(report.interfaces[0].what, "call context 2");
    two->table->release(two);

    one->table->clearError(one);  // used after its last release
    EXPECT_TRUE(anyAnomalyContains(host, "after its last release"));

    host.setRefuseCallContexts(true);
    EXPECT_EQ(env->table->newCallContext(env), nullptr);
    EXPECT_EQ(host.callContextsCreated(), 2);
}

class ObjectCounting : public ::testing::Test {
  protected:
    Host host;
    ModuleSide module{host};
    LeakSnapshot base = host.snapshot();  // the module side's own call context stays open
};

TEST_F(ObjectCounting, ObjectDiesWhenTheLastCountGoes) {
    Vorna::Handle s = host.makeString("text");
    module.add(ObjectKind::String, s);
    EXPECT_EQ(host.referenceCount(s), 2);
    EXPECT_EQ(host.moduleReferences(s), 1);
    host.drop(s);
    EXPECT_TRUE(host.isAlive(s));
    module.drop(ObjectKind::String, s);
    EXPECT_FALSE(host.isAlive(s));
    EXPECT_TRUE(host.isKnown(s));
    EXPECT_TRUE(host.anomalies().empty());
}

TEST_F(ObjectCounting, ModuleCannotDropCountsItDoesNotHold) {
    Vorna::Handle s = host.makeString("kept by the host");
    module.drop(ObjectKind::String, s);
    EXPECT_TRUE(host.isAlive(s)) << "the host's own count must survive";
    EXPECT_TRUE(anyAnomalyContains(host, "would go negative"));
    host.drop(s);
}

TEST_F(ObjectCounting, DeadForeignAndZeroHandlesAreAnomalies) {
    Host other;
    Vorna::Handle foreign = other.makeString("elsewhere");
    Vorna::Handle dead = host.makeString("gone");
    host.drop(dead);

    module.add(ObjectKind::String, foreign);
    EXPECT_TRUE(anyAnomalyContains(host, "foreign handle"));
    module.add(ObjectKind::String, dead);
    EXPECT_TRUE(anyAnomalyContains(host, "dead String"));
    module.drop(ObjectKind::String, 0);
    EXPECT_TRUE(anyAnomalyContains(host, "handle 0"));
    EXPECT_EQ(other.referenceCount(foreign), 1);
    EXPECT_EQ(host.leakReport().anomalies.size(), 3u);
    other.drop(foreign);
}

TEST_F(ObjectCounting, WrongClassInterfaceIsAnAnomalyExceptDisplaysThroughComponent) {
    Vorna::Handle image = host.createImage(ImageSpec{ElementType::Float32, {1}, "i"});
    module.add(ObjectKind::String, image);
    EXPECT_TRUE(anyAnomalyContains(host, "through the String class interface"));
    module.drop(ObjectKind::Image, image);
    host.drop(image);
    EXPECT_TRUE(StandIn::kindAcceptedBy(ObjectKind::Component, ObjectKind::ImageDisplay));
    EXPECT_TRUE(StandIn::kindAcceptedBy(ObjectKind::ImageDisplay, ObjectKind::RasterImageDisplay));
    EXPECT_FALSE(StandIn::kindAcceptedBy(ObjectKind::ImageDisplay, ObjectKind::Component));
}

TEST(HandleNumbers, HandlesAreUniqueAcrossHosts) {
    Host a;
    Host b;
    Vorna::Handle x = a.makeString("a");
    Vorna::Handle y = b.makeString("b");
    EXPECT_NE(x, y);
    EXPECT_FALSE(a.isKnown(y));
    EXPECT_FALSE(b.isKnown(x));
    a.drop(x);
    b.drop(y);
}

TEST_F(ObjectCounting, KeepTurnsAModuleCountIntoAHostCount) {
    Vorna::Handle s = host.makeString("result");
    module.add(ObjectKind::String, s);  // as a function result handed to the host
    EXPECT_FALSE(host.leakReport(base).clean());
    host.keep(s);
    EXPECT_EQ(host.hostReferences(s), 2);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
    host.drop(s);
    host.drop(s);
    EXPECT_FALSE(host.isAlive(s));
    EXPECT_THROW(host.keep(s), std::logic_error);
    EXPECT_THROW(host.drop(s), std::logic_error);
}

TEST_F(ObjectCounting, SnapshotReportsOnlyWhatIsNew) {
    Vorna::Handle old = host.makeString("old");
    module.add(ObjectKind::String, old);
    Vorna::HostEnvironment* env = module.env();
    env->table->addReference(env);
    LeakSnapshot before = host.snapshot();
    EXPECT_TRUE(host.leakReport(before).clean());

    Vorna::Handle fresh = host.makeString("fresh");
    module.add(ObjectKind::String, fresh);
    module.add(ObjectKind::String, old);
    env->table->addReference(env);
    LeakReport report = host.leakReport(before);
    ASSERT_EQ(report.objects.size(), 2u);
    for (const LeakReport::HeldObject& o : report.objects) EXPECT_EQ(o.moduleCount, 1);
    ASSERT_EQ(report.interfaces.size(), 1u);
    EXPECT_EQ(report.interfaces[0].what, "environment");
    std::string text = report.toString();
    EXPECT_NE(text.find("\"fresh\""), std::string::npos) << text;
    EXPECT_NE(text.find("referenced: environment"), std::string::npos) << text;

    module.drop(ObjectKind::String, fresh);
    module.drop(ObjectKind::String, old);
    env->table->release(env);
    EXPECT_TRUE(host.leakReport(before).clean()) << host.leakReport(before).toString();
    EXPECT_FALSE(host.leakReport().clean());
    module.drop(ObjectKind::String, old);
    env->table->release(env);
    host.drop(old);
    host.drop(fresh);
}

TEST(LeakReportText, CleanReportSaysSo) { EXPECT_EQ(LeakReport{}.toString(), "no leaks"); }

}  // namespace
