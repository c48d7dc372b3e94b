// The turn machine against every order of input a scorer can produce: each case is a script of
// inputs, some of them arriving while the host is inside a call that lets queued input run (the
// shout at the countdown's start, the record of the turn), and the host calls it must cause.

#include "input/turn_machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pellix {
namespace {

using Step = std::function<void(TurnMachine&)>;

class ScriptedHost : public TurnHost {
public:
    explicit ScriptedHost(Board& board) : board_(board) {}

    std::vector<std::string> log;
    std::string text = "41";
    bool recordSucceeds = true;
    // Input that comes in while the host is inside the named call.
    std::map<std::string, std::vector<Step>> during;
    TurnMachine* machine = nullptr;

    std::string turnText() const override { return text; }
    void countdownStarted() override { note("countdown"); }
    void countdownTicked() override { note("tick"); }
    void closeBegins(std::int16_t named) override { note("close " + std::to_string(named)); }
    bool recordTurn(std::int16_t turn, std::int16_t named) override {
        note("record " + std::to_string(turn) + " " + std::to_string(named));
        return recordSucceeds;
    }
    void restoreIdleControls(std::int16_t, bool recorded) override { note(recorded ? "idle" : "idle, not recorded"); }
    void closeEnded(std::int16_t, bool recorded) override { note(recorded ? "ended" : "ended, not recorded"); }
    void carryOutDrop(int target, int source) override {
        board_.dropOnToken(source, target);
        note("drop " + std::to_string(source) + " on " + std::to_string(target));
    }
    void dragStarted(int token) override { note("drag " + std::to_string(token)); }
    void dragEnded() override { note("drag ends"); }
    void refused(Refusal why, const std::string&) override { note("refused " + std::to_string(static_cast<int>(why))); }
    void closeWindow() override { note("close window"); }

private:
    void note(const std::string& call) {
        log.push_back(call);
        const std::string key = call.substr(0, call.find(' '));
        auto inside = during.find(key);
        if (inside == during.end()) return;
        const std::vector<Step> steps = std::move(inside->second);
        during.erase(inside);
        for (const Step& step : steps) step(*machine);
    }
    Board& board_;
};

const PointerTarget kNothing{};
PointerTarget token(int index) {
    return PointerTarget::token(index);
}
PointerTarget slot(int index) {
    return PointerTarget::courtSlot(index);
}

Step decide = [](TurnMachine& m) { m.decide(); };
Step tick = [](TurnMachine& m) { m.tick(); };
Step timeUp = [](TurnMachine& m) { m.timeUp(); };
Step miss = [](TurnMachine& m) { m.missButton(); };
Step press(int t) {
    return [t](TurnMachine& m) { m.press(t); };
}
Step move(bool beyond, PointerTarget under) {
    return [=](TurnMachine& m) { m.move(beyond, under); };
}
Step release(PointerTarget under) {
    return [=](TurnMachine& m) { m.release(under); };
}
Step clickSlot(int k) {
    return [k](TurnMachine& m) { m.courtSlotClicked(k); };
}
Step dropOn(PointerTarget target, int source) {
    return [=](TurnMachine& m) { m.drop(target, source); };
}
Step closeWindow = [](TurnMachine& m) { m.windowCloseRequested(); };

struct Case {
    const char* name;
    std::vector<Step> script;
    std::map<std::string, std::vector<Step>> during;  // keyed by the first word of a host call
    std::vector<std::string> calls;
    bool recordSucceeds = true;
};

const std::vector<std::string> kTurnClosedBy0 = {"countdown", "close 0", "record 41 0", "idle", "ended"};

// Slot k holds player k; players 5..12 and the placeholders are on the bench.
class TurnScripts : public ::testing::TestWithParam<Case> {};

TEST_P(TurnScripts, CallTheHostInOrder) {
    Board board;
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    ScriptedHost host(board);
    TurnMachine machine(board, host);
    host.machine = &machine;
    host.during = GetParam().during;
    host.recordSucceeds = GetParam().recordSucceeds;
    for (const Step& step : GetParam().script) step(machine);
    EXPECT_EQ(host.log, GetParam().calls);
    EXPECT_EQ(machine.phase(), TurnPhase::Idle);
    EXPECT_FALSE(machine.dragging());
}

std::vector<std::string> with(std::vector<std::string> calls, std::initializer_list<std::string> more) {
    calls.insert(calls.end(), more);
    return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, TurnScripts,
    ::testing::Values(
        Case{"TimeUpClosesWithNobodyNamed",
             {decide, tick, tick, timeUp},
             {},
             {"countdown", "tick", "tick", "close 0", "record 41 0", "idle", "ended"}},
        Case{"SlotClickNamesThePlayerThere",
             {decide, clickSlot(3)},
             {},
             {"countdown", "close 3", "record 41 3", "idle", "ended"}},
        Case{"TapOnACourtPlayerNamesHim",
             {decide, press(2), move(false, token(2)), release(token(2))},
             {},
             {"countdown", "close 2", "record 41 2", "idle", "ended"}},
        Case{"TapOnABenchPlayerOrWhileIdleNamesNobody",
             {press(2), release(token(2)), decide, press(7), release(token(7)), miss},
             {},
             kTurnClosedBy0},
        Case{"ReleaseBeforeTheDragStartsDropsNothing", {press(5), move(false, token(5)), release(token(21))}, {}, {}},
        Case{"PlaceholdersAreNotDragged", {press(21), move(true, token(5)), release(token(5))}, {}, {}},
        Case{"DragOntoAPlaceholder",
             {press(5), move(true, token(5)), move(true, token(21)), release(token(21))},
             {},
             {"drag 5", "drag ends", "drop 5 on 21"}},
        Case{"DropOnACourtSlotLandsOnWhoStandsThere",
             {press(6), move(true, slot(2)), release(slot(2))},
             {},
             {"drag 6", "drag ends", "drop 6 on 2"}},
        Case{"DropOnNothing", {press(6), move(true, kNothing), release(kNothing)}, {}, {"drag 6", "drag ends"}},
        Case{"TwoPressesInARowEndTheFirstWithoutADrop",
             {press(5), move(true, token(6)), press(7), move(true, token(8)), release(token(8))},
             {},
             {"drag 5", "drag ends", "drag 7", "drag ends", "drop 7 on 8"}},
        Case{"DragAcrossACourtPlayerNamesHimAndTheDropThatEndsItWaits",
             {decide, press(5), move(true, token(6)), move(true, token(3))},
             {{"record", {move(true, token(3)), release(token(3))}}},
             {"countdown", "drag 5", "close 3", "record 41 3", "drag ends", "idle", "drop 5 on 3", "ended"}},
        Case{"DropsDuringTheCloseKeepTheTargetOfTheirArrival",
             {decide, miss},
             {{"record", {dropOn(slot(1), 7), dropOn(slot(1), 8), dropOn(token(99), 9)}}},
             with(std::vector<std::string>(kTurnClosedBy0.begin(), kTurnClosedBy0.end() - 1),
                  {"drop 7 on 1", "drop 8 on 1", "ended"})},
        Case{"InputDuringTheCloseFindsTheCountdownOver",
             {decide, clickSlot(1)},
             {{"record", {tick, timeUp, miss, clickSlot(2), move(true, token(4)), decide}}},
             {"countdown", "close 1", "record 41 1", "refused 4", "idle", "ended"}},
        Case{"SecondPressOfADoubleClickOnDecide",
             {decide},
             {{"countdown", {decide, tick}}, {"tick", {timeUp}}},
             {"countdown", "tick", "close 0", "record 41 0", "idle", "ended"}},
        Case{"ACloseInsideTheShoutClosesTheCountdownOnce",
             {decide, timeUp},
             {{"countdown", {clickSlot(4)}}},
             {"countdown", "close 4", "record 41 4", "idle", "ended"}},
        Case{"CloseRequestWhileIdleClosesAtOnce", {closeWindow}, {}, {}},
        Case{"CloseRequestDuringTheCountdownRecordsTheTurnFirst",
             {decide, closeWindow},
             {},
             with(kTurnClosedBy0, {"close window"})},
        Case{"CloseRequestDuringTheCloseWaitsForIt",
             {decide, miss},
             {{"record", {closeWindow, closeWindow}}},
             with(kTurnClosedBy0, {"close window"})},
        Case{"CloseRequestWhenTheRecordFailsDoesNotGoAhead",
             {decide, closeWindow},
             {},
             {"countdown", "close 0", "record 41 0", "idle, not recorded", "ended, not recorded"},
             false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TurnMachine, RefusalsAtTheStartOfACountdown) {
    Board board;
    ScriptedHost host(board);
    TurnMachine machine(board, host);
    machine.decide();  // placeholders on the court
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    for (const char* text : {"abc", "0", "-2", "32767"}) {
        host.text = text;
        machine.decide();
    }
    EXPECT_EQ(host.log, (std::vector<std::string>{"refused 2", "refused 0", "refused 1", "refused 1", "refused 1"}));
    EXPECT_EQ(machine.phase(), TurnPhase::Idle);
}

// Another workbook operation runs only between turns; drops and a window close wait for it.
TEST(TurnMachine, OperationsRunBetweenTurnsAndHoldDropsAndTheClose) {
    Board board;
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    ScriptedHost host(board);
    TurnMachine machine(board, host);
    ASSERT_TRUE(machine.beginOperation());
    EXPECT_FALSE(machine.beginOperation());
    machine.decide();
    machine.drop(PointerTarget::courtSlot(2), 6);
    EXPECT_FALSE(machine.windowCloseRequested());
    EXPECT_EQ(board.CourtSlot[2], 2);
    machine.endOperation();
    EXPECT_EQ(board.CourtSlot[2], 6);

    machine.decide();
    EXPECT_FALSE(machine.beginOperation());
    EXPECT_EQ(host.log, (std::vector<std::string>{"refused 4", "refused 4", "drop 6 on 2", "close window", "countdown",
                                                  "refused 3"}));
}

}  // namespace
}  // namespace pellix
