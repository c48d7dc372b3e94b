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

class ScriptedHost;
using Step = std::function<void(TurnMachine&, ScriptedHost&)>;

// Logs every call as one line of text, "call, call, ...".
class ScriptedHost : public TurnHost {
public:
    explicit ScriptedHost(Board& board) : board(board) {}

    Board& board;
    TurnMachine* machine = nullptr;
    std::string log;
    std::string text = "41";
    bool recordSucceeds = true;
    std::map<std::string, std::vector<Step>> during;

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
        board.dropOnToken(source, target);
        note("drop " + std::to_string(source) + " on " + std::to_string(target));
    }
    void dragStarted(int token) override { note("drag " + std::to_string(token)); }
    void dragEnded() override { note("drag ends"); }
    void refused(Refusal why, const std::string&) override { note("refused " + std::to_string(static_cast<int>(why))); }
    void closeWindow() override { note("close window"); }

    void note(const std::string& call) {
        log += (log.empty() ? "" : ", ") + call;
        const auto inside = during.find(call.substr(0, call.find(' ')));
        if (inside == during.end()) return;
        const std::vector<Step> steps = std::move(inside->second);
        during.erase(inside);
        for (const Step& step : steps) step(*machine, *this);
    }
};

// The inputs a script is written in; the fixture holds them so that the table can name them.
class TurnMachineTest : public ::testing::Test {
protected:
    using M = TurnMachine;
    using H = ScriptedHost;
    static PointerTarget token(int index) { return PointerTarget::token(index); }
    static PointerTarget slot(int index) { return PointerTarget::courtSlot(index); }
    static Step call(void (M::*input)()) {
        return [input](M& m, H&) { (m.*input)(); };
    }
    static Step press(int t) {
        return [t](M& m, H&) { m.press(t); };
    }
    static Step move(bool beyond, PointerTarget under) {
        return [=](M& m, H&) { m.move(beyond, under); };
    }
    static Step release(PointerTarget under) {
        return [=](M& m, H&) { m.release(under); };
    }
    static Step clickSlot(int k) {
        return [k](M& m, H&) { m.courtSlotClicked(k); };
    }
    static Step dropOn(PointerTarget target, int source) {
        return [=](M& m, H&) { m.drop(target, source); };
    }
    static Step text(const char* typed) {
        return [typed](M&, H& h) { h.text = typed; };
    }
    // Input that comes in while the host is inside a call, keyed by the call's first word.
    static Step during(const std::string& call, const std::vector<Step>& steps) {
        return [=](M&, H& h) { h.during[call] = steps; };
    }
    const Step decide = call(&M::decide), tick = call(&M::tick), timeUp = call(&M::timeUp);
    const Step miss = call(&M::missButton), endOperation = call(&M::endOperation);
    const Step beginOperation = [](M& m, H& h) { h.note(m.beginOperation() ? "operation" : "no operation"); };
    const Step closeWindow = [](M& m, H& h) {
        if (m.windowCloseRequested()) h.note("closes at once");
    };
    const Step placeholderBack = [](M&, H& h) { h.board.dropOnToken(1, 21); };
    const Step recordFails = [](M&, H& h) { h.recordSucceeds = false; };
};

struct Case {
    const char* name;
    std::vector<Step> script;
    std::string calls;
};

const std::string kClosedBy0 = "countdown, close 0, record 41 0, idle, ended";

// Refusal numbers: 0 not a number, 1 out of range, 2 court incomplete, 3 not between turns, 4 busy.
TEST_F(TurnMachineTest, ScriptsCallTheHostInOrder) {
    const Case cases[] = {
        {"time up", {decide, tick, tick, timeUp}, "countdown, tick, tick, close 0, record 41 0, idle, ended"},
        {"slot click", {decide, clickSlot(3)}, "countdown, close 3, record 41 3, idle, ended"},
        // A tap on a court player names him; on a bench player, or while idle, nobody.
        {"tap",
         {decide, press(2), move(false, token(2)), release(token(2))},
         "countdown, close 2, record 41 2, idle, ended"},
        {"tap on the bench", {press(2), release(token(2)), decide, press(7), release(token(7)), miss}, kClosedBy0},
        {"release before the drag", {press(5), move(false, token(5)), release(token(21))}, ""},
        {"placeholders stay", {press(21), move(true, token(5)), release(token(5))}, ""},
        {"onto a placeholder",
         {press(5), move(true, token(5)), move(true, token(21)), release(token(21))},
         "drag 5, drag ends, drop 5 on 21"},
        // A drop on a court slot lands on the token standing there.
        {"onto a slot", {press(6), move(true, slot(2)), release(slot(2))}, "drag 6, drag ends, drop 6 on 2"},
        {"onto nothing", {press(6), move(true, {}), release({})}, "drag 6, drag ends"},
        // A second press ends the first gesture without a drop (its release never came).
        {"two presses",
         {press(5), move(true, token(6)), press(7), move(true, token(8)), release(token(8))},
         "drag 5, drag ends, drag 7, drag ends, drop 7 on 8"},
        // A drag across a court player names him; the drop that ends the drag waits for the record.
        {"drag across",
         {decide, during("record", {move(true, token(3)), release(token(3))}), press(5), move(true, token(6)),
          move(true, token(3))},
         "countdown, drag 5, close 3, record 41 3, drag ends, idle, drop 5 on 3, ended"},
        // Drops during the close keep the target of their arrival.
        {"drops wait",
         {during("record", {dropOn(slot(1), 7), dropOn(slot(1), 8), dropOn(token(99), 9)}), decide, miss},
         "countdown, close 0, record 41 0, idle, drop 7 on 1, drop 8 on 1, ended"},
        {"input during the close",
         {during("record", {tick, timeUp, miss, clickSlot(2), move(true, token(4)), decide}), decide, clickSlot(1)},
         "countdown, close 1, record 41 1, refused 4, idle, ended"},
        // The second press of a double click on 決定, and a close inside the shout: one close.
        {"double click",
         {during("countdown", {decide, tick}), during("tick", {timeUp}), decide},
         "countdown, tick, close 0, record 41 0, idle, ended"},
        {"close in the shout",
         {during("countdown", {clickSlot(4)}), decide, timeUp},
         "countdown, close 4, record 41 4, idle, ended"},
        // A window close: at once when idle, after the record during a countdown or a close, and
        // not when the record fails.
        {"close idle", {closeWindow}, "closes at once"},
        {"close in countdown", {decide, closeWindow}, kClosedBy0 + ", close window"},
        {"close in close", {during("record", {closeWindow, closeWindow}), decide, miss}, kClosedBy0 + ", close window"},
        {"close, record fails",
         {recordFails, decide, closeWindow},
         "countdown, close 0, record 41 0, idle, not recorded, ended, not recorded"},
        {"refusals",
         {text("abc"), decide, text("0"), decide, text("41"), placeholderBack, decide},
         "refused 0, refused 1, refused 2"},
        // Another workbook operation runs only between turns; drops and a window close wait for it.
        {"operations",
         {beginOperation, beginOperation, decide, dropOn(slot(2), 6), closeWindow, endOperation, decide, beginOperation,
          timeUp},
         "operation, refused 4, no operation, refused 4, drop 6 on 2, close window, countdown, refused 3, "
         "no operation, close 0, record 41 0, idle, ended"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Board board;
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);  // slot k holds player k
        ScriptedHost host(board);
        TurnMachine machine(board, host);
        host.machine = &machine;
        for (const Step& step : c.script) step(machine, host);
        EXPECT_EQ(host.log, c.calls);
        EXPECT_EQ(machine.phase(), TurnPhase::Idle);
        EXPECT_FALSE(machine.dragging());
    }
}

}  // namespace
}  // namespace pellix
