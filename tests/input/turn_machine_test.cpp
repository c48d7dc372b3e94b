// The turn machine against every order of input a scorer can produce: each case is a script of
// inputs, some of them arriving while the host is inside a call that lets queued input run (the
// shout at the countdown's start, the record of the turn), and the host calls it must cause.

#include "input/turn_machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace pellix {
namespace {

// "t5" token 5, "s2" court slot 2, "-" nothing.
PointerTarget target(const std::string& at) {
    if (at == "-") return {};
    return at[0] == 's' ? PointerTarget::courtSlot(std::stoi(at.substr(1)))
                        : PointerTarget::token(std::stoi(at.substr(1)));
}

// Logs every call as one line of text, "call, call, ...", and plays scripts of input into the
// machine, also from inside its own calls.
class ScriptedHost : public TurnHost {
public:
    explicit ScriptedHost(Board& board) : board(board), machine(board, *this) {}

    Board& board;
    TurnMachine machine;
    std::string log;
    std::string text = "41";
    bool recordSucceeds = true;
    bool workbook = true;
    int last = 0;          // the last recorded turn
    bool goAhead = false;  // the answer to the question before a turn below it is recorded again
    std::map<std::string, std::string> during;  // a script to play inside a call, by the call's first word

    std::string turnText() const override { return text; }
    bool workbookOpen() const override { return workbook; }
    int lastRecordedTurn() const override { return last; }
    bool confirmRerecord(std::int16_t turn, int lastRecorded) override {
        note("ask " + std::to_string(turn) + " " + std::to_string(lastRecorded));
        return goAhead;
    }
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
        const std::string script = inside->second;
        during.erase(inside);
        play(script);
    }

    // Words of input: "press:5", "nudge:t5" (a move within the drag distance), "move:s2",
    // "release:t5", "click:3" (a court slot), "drop:7:s1" (token 7 dropped on slot 1), "text:abc",
    // "last:45" (the last recorded turn), "yes" (go ahead when asked).
    void play(const std::string& script) {
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            const std::string verb = word.substr(0, word.find(':'));
            const std::string arg = word.substr(std::min(word.size(), verb.size() + 1));
            const std::map<std::string, std::function<void()>> inputs{
                {"decide", [&] { machine.decide(); }},
                {"tick", [&] { machine.tick(); }},
                {"timeUp", [&] { machine.timeUp(); }},
                {"miss", [&] { machine.missButton(); }},
                {"begin", [&] { note(machine.beginOperation() ? "operation" : "no operation"); }},
                {"end", [&] { machine.endOperation(); }},
                {"closeWindow", [&] { note(machine.windowCloseRequested() ? "closes at once" : "close waits"); }},
                {"press", [&] { machine.press(std::stoi(arg)); }},
                {"nudge", [&] { machine.move(false, target(arg)); }},
                {"move", [&] { machine.move(true, target(arg)); }},
                {"release", [&] { machine.release(target(arg)); }},
                {"click", [&] { machine.courtSlotClicked(std::stoi(arg)); }},
                {"drop", [&] { machine.drop(target(arg.substr(arg.find(':') + 1)), std::stoi(arg)); }},
                {"text", [&] { text = arg; }},
                {"last", [&] { last = std::stoi(arg); }},
                {"yes", [&] { goAhead = true; }},
                {"noWorkbook", [&] { workbook = false; }},
                {"step", [&] { note(machine.turnStepAllowed() ? "step" : "no step"); }},
                {"recordFails", [&] { recordSucceeds = false; }},
                {"placeholderBack", [&] { board.dropOnToken(1, 21); }},
            };
            inputs.at(verb)();
        }
    }
};

const std::string kClosedBy0 = "countdown, close 0, record 41 0, idle, ended";

// Refusal numbers: 0 not a number, 1 out of range, 2 court incomplete, 3 not between turns, 4 busy,
// 5 no workbook.
TEST(TurnMachine, ScriptsCallTheHostInOrder) {
    // The script, the scripts to play inside calls, the calls.
    const std::tuple<std::string, std::map<std::string, std::string>, std::string> cases[] = {
        {"decide tick tick timeUp", {}, "countdown, tick, tick, close 0, record 41 0, idle, ended"},
        {"decide click:3", {}, "countdown, close 3, record 41 3, idle, ended"},
        // A tap on a court player names him; on a bench player, or while idle, nobody.
        {"decide press:2 nudge:t2 release:t2", {}, "countdown, close 2, record 41 2, idle, ended"},
        {"press:2 release:t2 decide press:7 release:t7 miss", {}, kClosedBy0},
        // No drag before the pointer has really moved, and no drag of a placeholder.
        {"press:5 nudge:t5 release:t21", {}, ""},
        {"press:21 move:t5 release:t5", {}, ""},
        {"press:5 move:t5 move:t21 release:t21", {}, "drag 5, drag ends, drop 5 on 21"},
        // A drop on a court slot lands on the token standing there.
        {"press:6 move:s2 release:s2", {}, "drag 6, drag ends, drop 6 on 2"},
        // A second press ends the first gesture without a drop (its release never came).
        {"press:5 move:t6 press:7 move:t8 release:t8", {}, "drag 5, drag ends, drag 7, drag ends, drop 7 on 8"},
        // During a countdown a drag names the court player it is released on, whatever it crossed on
        // the way (his token or his slot's area), else the last court player it crossed; the turn
        // closes at the release and the drop follows the record. (Released on his token, or on
        // nothing, the real-window drags play.)
        {"decide press:10 move:t4 move:t3 move:s1 release:s1", {},
         "countdown, drag 10, drag ends, close 1, record 41 1, idle, drop 10 on 1, ended"},
        {"decide press:5 move:t4 move:t3 move:t6 release:t6", {},
         "countdown, drag 5, drag ends, close 3, record 41 3, idle, drop 5 on 6, ended"},
        {"decide press:5 move:t6 release:t6 miss", {}, "countdown, drag 5, drag ends, drop 5 on 6, " + kClosedBy0.substr(11)},
        // A court player dragged off court names himself; crossings before the countdown do not count.
        {"decide press:2 move:t2 move:t6 release:t6", {},
         "countdown, drag 2, drag ends, close 2, record 41 2, idle, drop 2 on 6, ended"},
        {"press:5 move:t3 decide move:t6 release:t6 miss", {},
         "drag 5, countdown, drag ends, drop 5 on 6, close 0, record 41 0, idle, ended"},
        // The countdown ends while a drag is held: the player it names then is named, and the drop
        // lands when it is released.
        {"decide press:5 move:t4 move:s2 timeUp move:t8 release:t8", {},
         "countdown, drag 5, close 2, record 41 2, idle, ended, drag ends, drop 5 on 8"},
        {"decide press:5 move:t4 move:- timeUp release:-", {}, "countdown, drag 5, close 4, record 41 4, idle, ended, drag ends"},
        {"decide press:5 move:t6 timeUp",
         {{"record", "move:t3 release:t3"}},
         "countdown, drag 5, close 0, record 41 0, drag ends, idle, drop 5 on 3, ended"},
        // Drops during the close keep the target of their arrival.
        {"decide miss",
         {{"record", "drop:7:s1 drop:8:s1 drop:9:t99"}},
         "countdown, close 0, record 41 0, idle, drop 7 on 1, drop 8 on 1, ended"},
        {"decide click:1",
         {{"record", "tick timeUp miss click:2 move:t4 decide"}},
         "countdown, close 1, record 41 1, refused 4, idle, ended"},
        // The second press of a double click on 決定, and a close inside the shout: one close.
        {"decide",
         {{"countdown", "decide tick"}, {"tick", "timeUp"}},
         "countdown, tick, close 0, record 41 0, idle, ended"},
        {"decide timeUp", {{"countdown", "click:4"}}, "countdown, close 4, record 41 4, idle, ended"},
        // A window close: at once when idle, after the record during a countdown or a close, and
        // not when the record fails.
        {"closeWindow", {}, "closes at once"},
        {"decide closeWindow", {}, kClosedBy0 + ", close window, close waits"},
        {"decide miss",
         {{"record", "closeWindow closeWindow"}},
         "countdown, close 0, record 41 0, close waits, close waits, idle, ended, close window"},
        {"recordFails decide closeWindow",
         {},
         "countdown, close 0, record 41 0, idle, not recorded, ended, not recorded, close waits"},
        {"text:abc decide text:0 decide text:41 placeholderBack decide", {}, "refused 0, refused 1, refused 2"},
        // Without a workbook nothing that would write it starts.
        {"noWorkbook decide begin step", {}, "refused 5, refused 5, no operation, refused 5, no step"},
        // A turn below the last recorded one is recorded again only when the scorer says so; input
        // that comes while he is asked waits, as during any operation.
        {"last:41 decide miss", {}, kClosedBy0},
        {"last:45 decide miss", {}, "ask 41 45"},
        {"last:45 yes decide miss",
         {{"ask", "decide drop:7:s1"}},
         "ask 41 45, refused 4, drop 7 on 1, " + kClosedBy0},
        {"last:45 yes decide", {{"ask", "placeholderBack"}}, "ask 41 45"},
        // Another workbook operation runs only between turns; drops and a window close wait for it.
        {"begin begin decide drop:6:s2 closeWindow end decide begin timeUp",
         {},
         "operation, refused 4, no operation, refused 4, close waits, drop 6 on 2, close window, countdown, "
         "refused 3, no operation, close 0, record 41 0, idle, ended"},
    };
    for (const auto& [script, during, calls] : cases) {
        SCOPED_TRACE(script);
        Board board;
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);  // slot k holds player k
        ScriptedHost host(board);
        host.during = during;
        host.play(script);
        EXPECT_EQ(host.log, calls);
        EXPECT_EQ(host.machine.phase(), TurnPhase::Idle);
        EXPECT_FALSE(host.machine.dragging());
    }
}

}  // namespace
}  // namespace pellix
