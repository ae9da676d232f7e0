// Running-instance detection: the user-scoped mutex name and the test for another process's mutex.
#include "tavq_test.h"

#include "tavq.h"

#include <winsim/codepage.h>

namespace {

const std::string kBase = "Norix Tallyvue - {591F5BE9-7028-468a-9CFF-7CA023199B8A}";

struct NameCase {
    const char* name;
    std::string user;
    const char* domain;  // null: %USERDOMAIN% not set
    std::string expected;
};

const NameCase kNames[] = {
    {"UserOfDomain", "jdoe", "CORP", kBase + "-CORP-jdoe"},
    {"DomainNotSet", "jdoe", nullptr, kBase + "-%USERDOMAIN%-jdoe"},
    {"UserOf63Characters", std::string(63, 'u'), "CORP", kBase + "-CORP-" + std::string(63, 'u')},
    {"UserOf64Characters", std::string(64, 'u'), "CORP", kBase},
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class InstanceName : public TavqTest, public ::testing::WithParamInterface<NameCase> {
protected:
    void SetUp() override {
        m->system.userName = GetParam().user;
        if (GetParam().domain)
            m->system.env["USERDOMAIN"] = GetParam().domain;
        else
            m->system.env.erase("USERDOMAIN");
    }
};

TEST_P(InstanceName, IsComposedInAMovableZeroFilledBlock) {
    LPWSTR name = BuildInstanceName(kInstanceBaseName);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(GetParam().expected, winsim::ToAnsi(name, 65001));
    HGLOBAL block = GlobalHandle(name);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(512u, GlobalSize(block));
    EXPECT_TRUE(m->system.globals.Moveable(block));
    EXPECT_EQ(0, name[255]);
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST_P(InstanceName, FindsTheApplicationOnlyUnderTheFullName) {
    // The application always names its mutex with the domain and user it runs as.
    std::string domain = GetParam().domain ? GetParam().domain : "CORP";
    winsim::SimProcess& app = m->processes.Start("C:\\Temp\\Tallyvue\\Tallyvue.exe");
    m->processes.HoldMutex(app, TallyvueMutexName(domain, GetParam().user));

    bool suffixed = GetParam().expected != kBase && GetParam().domain;
    EXPECT_EQ(suffixed ? 1 : 0, IsMonitorRunning());
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Cases, InstanceName, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

TEST_F(TavqTest, MutexesOfOtherUsersAndDomainsAreNotTheApplication) {
    winsim::SimProcess& other = m->processes.Start("C:\\Temp\\Tallyvue\\Tallyvue.exe");
    m->processes.HoldMutex(other, TallyvueMutexName("CORP", "asmith"));
    m->processes.HoldMutex(other, TallyvueMutexName("LAB", "jdoe"));
    m->processes.HoldMutex(other, TallyvueMutexName("corp", "jdoe"));

    EXPECT_EQ(0, IsMonitorRunning());

    m->processes.HoldMutex(other, TallyvueMutexName("CORP", "jdoe"));
    EXPECT_EQ(1, IsMonitorRunning());
    ExpectNothingLeft();
}

TEST_F(TavqTest, AMutexThatCannotBeOpenedCountsAsNotRunning) {
    winsim::SimProcess& app = m->processes.Start("C:\\Temp\\Tallyvue\\Tallyvue.exe");
    m->processes.HoldMutex(app, TallyvueMutexName("CORP", "jdoe"));
    m->processes.FindMutex(TallyvueMutexName("CORP", "jdoe"))->denyOpen = true;

    EXPECT_EQ(0, IsMonitorRunning());
    ExpectNothingLeft();
}

}  // namespace
