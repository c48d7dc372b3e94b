#include "input/turn_machine.h"

#include "input/miss_entry.h"
#include "input/turn_text.h"

namespace pellix {

void TurnMachine::decide() {
    if (phase_ != TurnPhase::Idle) {
        // A second press of a double click, or a press inside an operation's status messages.
        if (busy()) host_.refused(Refusal::Busy, {});
        return;
    }
    if (!host_.workbookOpen()) {
        host_.refused(Refusal::NoWorkbook, {});
        return;
    }
    if (board_.courtHasPlaceholder()) {
        host_.refused(Refusal::CourtIncomplete, {});
        return;
    }
    const std::string text = host_.turnText();
    const TurnToCommit check = turnToCommit(text);
    if (check.refusal != TurnToCommit::Refusal::None) {
        host_.refused(
            check.refusal == TurnToCommit::Refusal::NotANumber ? Refusal::TurnNotANumber : Refusal::TurnOutOfRange,
            check.message);
        return;
    }
    if (!confirmedRerecord(check.turn)) return;
    turn_ = check.turn;
    phase_ = TurnPhase::Countdown;
    host_.countdownStarted();
}

// Recording a turn below the last recorded one gives up the turns after it as the next ones are
// recorded: the scorer is asked first. The question is an operation of its own, so that input
// that comes while it is open waits or is refused, as during any other.
bool TurnMachine::confirmedRerecord(std::int16_t turn) {
    const int last = host_.lastRecordedTurn();
    if (turn >= last) return true;
    phase_ = TurnPhase::Operation;
    const bool confirmed = host_.confirmRerecord(turn, last);
    const bool closeCame = windowCloseWanted_;
    endOperation();
    // A drop that waited may have brought a placeholder back; a window close goes ahead.
    return confirmed && !closeCame && !board_.courtHasPlaceholder();
}

void TurnMachine::tick() {
    if (phase_ == TurnPhase::Countdown) host_.countdownTicked();
}

void TurnMachine::timeUp() {
    if (phase_ != TurnPhase::Countdown) return;
    close(gesture_.dragging ? namedByDrag(gesture_, gesture_.under) : 0);
}

void TurnMachine::missButton() {
    if (phase_ == TurnPhase::Countdown) close(0);
}

void TurnMachine::courtSlotClicked(int slot) {
    if (phase_ != TurnPhase::Countdown) return;
    if (const std::optional<std::int16_t> player = playerNamedBySlotClick(board_, slot)) close(*player);
}

std::int16_t TurnMachine::namedByDrag(const Gesture& gesture, PointerTarget under) const {
    std::optional<std::int16_t> player;
    if (under.kind == PointerTarget::Kind::Token) player = playerNamedByDragOver(board_, under.index);
    if (under.kind == PointerTarget::Kind::CourtSlot) player = playerNamedBySlotClick(board_, under.index);
    return player.value_or(static_cast<std::int16_t>(gesture.crossed));
}

void TurnMachine::press(int token) {
    // A press while another gesture is open means its release never reached us (a message box
    // took the pointer): that gesture ends without a drop.
    cancelGesture();
    if (!tokenExists(token)) return;
    gesture_ = {};
    gesture_.token = token;
}

void TurnMachine::move(bool beyondDragDistance, PointerTarget under) {
    if (gesture_.token == 0) return;
    if (!gesture_.dragging) {
        // Only player tokens are dragged; a drag starts once the pointer has really moved.
        if (!beyondDragDistance || !isPlayerToken(gesture_.token)) return;
        gesture_.dragging = true;
        host_.dragStarted(gesture_.token);
    }
    gesture_.under = under;
    if (phase_ != TurnPhase::Countdown || under.kind != PointerTarget::Kind::Token) return;
    // Crossing a court player names nobody yet: the path to the slot of the player who missed
    // often crosses another player on the way.
    if (const std::optional<std::int16_t> player = playerNamedByDragOver(board_, under.index))
        gesture_.crossed = *player;
}

void TurnMachine::release(PointerTarget under) {
    const Gesture ended = gesture_;
    gesture_ = {};
    if (ended.token == 0) return;
    if (ended.dragging) {
        host_.dragEnded();
        const std::int16_t named = phase_ == TurnPhase::Countdown ? namedByDrag(ended, under) : 0;
        if (named == 0) {
            drop(under, ended.token);
            return;
        }
        // The turn is recorded with the court as it stood; the drop, its target fixed now, follows.
        if (const int token = dropTarget(under); token != 0 && isPlayerToken(ended.token))
            waitingDrops_.push_back({token, ended.token});
        close(named);
        return;
    }
    // A click: the press and the release on the same token. A court player clicked during a
    // countdown is named, as a click on his slot names him.
    if (under != PointerTarget::token(ended.token) || phase_ != TurnPhase::Countdown) return;
    if (const std::optional<std::int16_t> player = playerNamedByDragOver(board_, ended.token)) close(*player);
}

void TurnMachine::cancelGesture() {
    const Gesture ended = gesture_;
    gesture_ = {};
    if (ended.dragging) host_.dragEnded();
}

int TurnMachine::dropTarget(PointerTarget target) const {
    if (target.kind == PointerTarget::Kind::Token && tokenExists(target.index)) return target.index;
    // The token standing in the slot when the drop comes is the target, also for a drop that has
    // to wait.
    if (target.kind == PointerTarget::Kind::CourtSlot) return board_.tokenInSlot(target.index);
    return 0;
}

void TurnMachine::drop(PointerTarget target, int source) {
    if (!isPlayerToken(source)) return;
    const int token = dropTarget(target);
    if (token == 0) return;
    if (busy()) {
        waitingDrops_.push_back({token, source});
        return;
    }
    host_.carryOutDrop(token, source);
}

bool TurnMachine::beginOperation() {
    if (phase_ == TurnPhase::Idle && !host_.workbookOpen()) {
        host_.refused(Refusal::NoWorkbook, {});
        return false;
    }
    if (phase_ == TurnPhase::Idle) {
        phase_ = TurnPhase::Operation;
        host_.operationBegins();
        return true;
    }
    host_.refused(phase_ == TurnPhase::Countdown ? Refusal::NotBetweenTurns : Refusal::Busy, {});
    return false;
}

bool TurnMachine::turnStepAllowed() {
    if (host_.workbookOpen()) return true;
    host_.refused(Refusal::NoWorkbook, {});
    return false;
}

void TurnMachine::endOperation() {
    if (phase_ != TurnPhase::Operation) return;
    phase_ = TurnPhase::Idle;
    settle(true);
    closeWindowIfWanted();
}

bool TurnMachine::windowCloseRequested() {
    switch (phase_) {
    case TurnPhase::Idle:
        cancelGesture();
        return true;
    case TurnPhase::Countdown:
        windowCloseWanted_ = true;
        timeUp();
        return false;
    case TurnPhase::Closing:
    case TurnPhase::Operation:
        windowCloseWanted_ = true;
        return false;
    }
    return false;
}

void TurnMachine::close(std::int16_t named) {
    phase_ = TurnPhase::Closing;
    host_.closeBegins(named);
    const bool recorded = host_.recordTurn(turn_, named);
    host_.restoreIdleControls(turn_, recorded);
    phase_ = TurnPhase::Idle;
    // A window close that waited for a turn that could not be recorded does not go ahead: the
    // scorer has been told, and the turn can be tried again.
    settle(recorded);
    host_.closeEnded(turn_, recorded);
    closeWindowIfWanted();
}

void TurnMachine::closeWindowIfWanted() {
    if (!windowCloseWanted_ || phase_ != TurnPhase::Idle) return;
    windowCloseWanted_ = false;
    host_.closeWindow();
}

void TurnMachine::settle(bool closeWanted) {
    // Each waiting drop lands in the order it came; carrying one out lets nothing else run.
    std::vector<Drop> waiting;
    waiting.swap(waitingDrops_);
    for (const Drop& drop : waiting) host_.carryOutDrop(drop.target, drop.source);
    if (!closeWanted) windowCloseWanted_ = false;
}

}  // namespace pellix
