// SPDX-License-Identifier: MIT
// The sweep commands over a sweep that only keeps its setup and whether it
// runs: what each command makes of the setup, and what it refuses.
#include "remote/tests/ScpiTestFixture.h"

namespace tarn::scpi {
namespace {

class TKeptSweep : public TSweepControl {
public:
    explicit TKeptSweep(const TSettingsTarn& settings) : settings_(settings) {}
    const TSweepSetup& Setup() const override { return setup; }
    void SetSetup(const TSweepSetup& s) override { setup = s; }
    bool Start(std::string& error) override
    {
        const TSweepPlanResult plan = MakeSweepPlan(setup, {FrequencyRangeOf(settings_), std::nullopt});
        error = plan.Error;
        running = plan.Plan.has_value();
        return running;
    }
    void Stop() override { running = false; }
    TSweepProgress Progress() const override { return {running, 0, 0, 0, 0, 0.0}; }

    TSweepSetup setup;
    bool running = false;

private:
    const TSettingsTarn& settings_;
};

class TSweepHost : public TRecordingHost {
public:
    explicit TSweepHost(const TSettingsTarn& settings) : sweep(settings) {}
    TSweepControl* Sweep() override { return &sweep; }
    TKeptSweep sweep;
};

struct TSweepInstrument {
    TSweepInstrument() { FirstStart(s); }
    TSettingsTarn s;
    TSweepHost host{s};
    TScpiInstrument scpi{s, host, "Tarn,Remote,0,1.0"};
};

TEST(ScpiSweep, CommandsShapeTheSharedSetup)
{
    struct Case {
        const char* message;
        const char* answer;
        std::vector<int> errors;
    } cases[] = {
        {"FREQ:STAR 2KHZ;STOP 20KHZ;:FREQ:STAR?;STOP?;CENT?;SPAN?", "2000;20000;11000;18000", {}},
        {"FREQ:CENT 5000;SPAN 2000;:FREQ:STAR?;STOP?", "4000;6000", {}},
        {"FREQ:SPAN -3000;:FREQ:STAR?;STOP?", "7000;4000", {}},
        {"FREQ:STAR? MIN;STAR? MAX;SPAN? MAX", "0.002;50000000;49999999.998", {}},
        // A centre the span does not fit around changes nothing.
        {"FREQ:CENT 49999000;:FREQ:CENT?", "5500", {errDataOutOfRange}},
        {"FREQ:STAR 60MHZ;:FREQ:STAR?", "1000", {errDataOutOfRange}},
        {"SWE:SPAC LOG;DIR UPD;POIN 5;COUN INF;:SWE:SPAC?;DIR?;POIN?;COUN?", "LOG;UPD;5;9.9E+37", {}},
        {"SWE:COUN 3;COUN?;POIN? MAX;COUN? MIN", "3;100000;1", {}},
        {"SWE:POIN 1;:SWE:DIR SIDEWAYS;:SWE:POIN?;DIR?", "11;UP", {errDataOutOfRange, errIllegalValue}},
        // Without a sweep time, one pass of 11 points of 0.1 s.
        {"SWE:TIME?;TIME 2;TIME?", "1.1;2", {}},
        {"SWE:TIME 0.001", "", {errDataOutOfRange}},
        {"LIST:FREQ 100,200,300;DWEL 0.5;:LIST:FREQ?;DWEL?", "100,200,300;0.5,0.5,0.5", {}},
        {"LIST:DWEL 0.2;:LIST:FREQ 100,200;DWEL 0.1,0.3;:LIST:DWEL?", "0.1,0.3", {}},
        {"LIST:FREQ 100,200;DWEL 0.1,0.2,0.3;:LIST:DWEL?", "0.1,0.1", {errSettingsConflict}},
        {"LIST:FREQ 100,0", "", {errDataOutOfRange}},
        {"FREQ:MODE LIST;:FREQ:MODE?;MODE SWE;MODE?;MODE FIX;MODE?;MODE CONT;MODE?", "LIST;SWE;CW;CONT", {}},
        {"FREQ:STAR 1000;STOP 1000;:SWE:STAT ON;:SWE:STAT?", "0", {errSettingsConflict}},
        {"SWE:STAT ON;:SWE:STAT?;:STAT:OPER:COND?;:FREQ:MODE?", "1;8;SWE", {}},
        {"SWE:STAT ON;:FREQ:MODE CW;:SWE:STAT?", "0", {}},
        {"SWE:STAT ON;:SWE:POIN 3;*RST;:SWE:STAT?;POIN?;:STAT:OPER:COND?", "0;11;0", {}},
    };
    for (const Case& c : cases) {
        TSweepInstrument t;
        EXPECT_EQ(t.scpi.Execute(c.message), std::string(c.answer) + (*c.answer ? "\n" : "")) << c.message;
        std::vector<int> errors;
        while (t.scpi.Errors().Count() > 0)
            errors.push_back(t.scpi.Errors().Pop().Code);
        EXPECT_EQ(errors, c.errors) << c.message;
    }
}

TEST_F(ScpiInstrument, WithoutASweepTheSweepCommandsSayItIsMissing)
{
    EXPECT_EQ(Run("SWE:STAT ON;:SWE:POIN?;:FREQ:MODE SWE;:FREQ:MODE?"), "CONT\n");
    EXPECT_EQ(Errors(), (std::vector<int>{errHardwareMissing, errHardwareMissing, errHardwareMissing}));
}

} // namespace
} // namespace tarn::scpi
