#include "notes/text/VirtualSpace.h"

#include <algorithm>

namespace NoteText {

namespace {

TVsAction Act(TVsActionKind kind, int a = 0, int b = 0, bool flag = false, std::string text = {}) {
  TVsAction act;
  act.kind = kind;
  act.a = a;
  act.b = b;
  act.flag = flag;
  act.text = std::move(text);
  return act;
}

bool LineOk(const TVsContext& ctx, int line) {
  return ctx.lines && line >= 0 && line < ctx.lines->LineCount();
}

void Leave(TVirtualSpaceState& st, bool scrollCaret, std::vector<TVsAction>& out) {
  const bool wasActive = st.Active();
  st = TVirtualSpaceState{};
  if (wasActive) out.push_back(Act(TVsActionKind::Leave, 0, 0, scrollCaret));
}

void SetTo(TVirtualSpaceState& st, int line, int column, const TVsContext& ctx,
           std::vector<TVsAction>& out) {
  st.anchor = -1;
  if (!LineOk(ctx, line)) {
    Leave(st, false, out);
    return;
  }
  column = std::max(column, 0);
  const int start = ctx.lines->LineStart(line);
  const int length = ctx.lines->LineLength(line);
  st.line = line;
  st.column = column;
  st.inVirtual = length < column;
  out.push_back(Act(TVsActionKind::SetCaret, st.inVirtual ? start + length : start + column));
  if (st.inVirtual) out.push_back(Act(TVsActionKind::PlaceCaret));
  out.push_back(Act(TVsActionKind::Repaint));
}

void SetSelectionTo(TVirtualSpaceState& st, int line, int column, int anchor, const TVsContext& ctx,
                    std::vector<TVsAction>& out) {
  if (!LineOk(ctx, line)) {
    Leave(st, false, out);
    return;
  }
  column = std::max(column, 0);
  const int start = ctx.lines->LineStart(line);
  const int length = ctx.lines->LineLength(line);
  const int real = start + std::min(column, length);
  st.line = line;
  st.column = column;
  st.inVirtual = length < column;
  st.anchor = anchor < 0 ? real : anchor;
  out.push_back(Act(TVsActionKind::SetSelection, std::min(real, st.anchor), std::max(real, st.anchor)));
  if (st.inVirtual) out.push_back(Act(TVsActionKind::PlaceCaret));
  out.push_back(Act(TVsActionKind::Repaint));
}

bool Materialize(TVirtualSpaceState& st, const TVsContext& ctx, std::vector<TVsAction>& out) {
  if (!st.inVirtual) return false;
  if (!LineOk(ctx, st.line)) {
    Leave(st, false, out);
    return false;
  }
  if (ctx.readOnly) {
    out.push_back(Act(TVsActionKind::Beep));
    return false;
  }
  const int start = ctx.lines->LineStart(st.line);
  const int length = ctx.lines->LineLength(st.line);
  if (st.column > length) {
    out.push_back(Act(TVsActionKind::SetCaret, start + length));
    out.push_back(Act(TVsActionKind::Insert, 0, 0, true,
                      std::string(static_cast<std::size_t>(st.column - length), ' ')));
  }
  out.push_back(Act(TVsActionKind::SetCaret, start + st.column));
  st.inVirtual = false;
  st.anchor = -1;
  return true;
}

}  // namespace

TVsOutcome VSLeave(TVirtualSpaceState& state, bool scrollCaret) {
  TVsOutcome r;
  Leave(state, scrollCaret, r.actions);
  return r;
}

TVsOutcome VSSet(TVirtualSpaceState& state, int line, int column, const TVsContext& ctx) {
  TVsOutcome r;
  SetTo(state, line, column, ctx, r.actions);
  return r;
}

TVsOutcome VSSetSelection(TVirtualSpaceState& state, int line, int column, int anchor, const TVsContext& ctx) {
  TVsOutcome r;
  SetSelectionTo(state, line, column, anchor, ctx, r.actions);
  return r;
}

TVsOutcome VSMaterialize(TVirtualSpaceState& state, const TVsContext& ctx) {
  TVsOutcome r;
  r.handled = Materialize(state, ctx, r.actions);
  return r;
}

TVsOutcome VSMouseDown(TVirtualSpaceState& state, int line, int column, bool inGutter,
                       const TVsContext& ctx) {
  TVsOutcome r;
  if (ctx.virtualSpace && !ctx.wordWrap && !inGutter && LineOk(ctx, line) &&
      column > ctx.lines->LineLength(line)) {
    state = TVirtualSpaceState{};
    state.line = line;
    state.column = column;
    state.inVirtual = true;
    r.actions.push_back(Act(TVsActionKind::SetCaret, ctx.lines->LineStart(line) + ctx.lines->LineLength(line)));
    r.actions.push_back(Act(TVsActionKind::PlaceCaret));
    r.actions.push_back(Act(TVsActionKind::Repaint));
  } else {
    Leave(state, false, r.actions);
  }
  return r;  // the click goes on to the control either way
}

TVsOutcome VSKeyDown(TVirtualSpaceState& st, TVsKey key, TVsModifiers mods, const TVsContext& ctx) {
  TVsOutcome r;
  auto& out = r.actions;
  if (!ctx.virtualSpace || ctx.wordWrap || (mods.ctrl && (key == TVsKey::Home || key == TVsKey::End))) {
    Leave(st, false, out);
    return r;
  }
  if (key == TVsKey::Modifier || mods.ctrl || mods.alt || !ctx.lines) return r;

  int line, column;
  if (st.Active()) {
    line = st.line;
    column = st.column;
  } else {
    line = ctx.lines->LineFromIndex(ctx.caret);
    column = std::max(ctx.caret - ctx.lines->LineStart(line), 0);
  }
  if (!LineOk(ctx, line)) return r;
  const int lineCount = ctx.lines->LineCount();

  if (mods.shift) {
    // Shift keys belong to the control unless a virtual selection is going on.
    if (!st.Active()) return r;
    const int neighbour = key == TVsKey::Up ? line - 1 : key == TVsKey::Down ? line + 1 : -1;
    if ((key == TVsKey::Up || key == TVsKey::Down) && neighbour >= 0 && neighbour < lineCount) {
      int anchor = st.anchor;
      if (anchor < 0) anchor = ctx.lines->LineStart(line) + std::min(column, ctx.lines->LineLength(line));
      SetSelectionTo(st, neighbour, column, anchor, ctx, out);
      r.handled = true;
    } else {
      Leave(st, true, out);
    }
    return r;
  }

  st.anchor = -1;
  if (ctx.hasSelection) {
    if (key != TVsKey::Tab) Leave(st, true, out);
    return r;
  }

  const int start = ctx.lines->LineStart(line);
  const int length = ctx.lines->LineLength(line);
  switch (key) {
    case TVsKey::Enter:
      if (st.inVirtual && !ctx.readOnly) Materialize(st, ctx, out);
      break;
    case TVsKey::Home:
    case TVsKey::End:
      if (st.inVirtual) {
        Leave(st, false, out);
        out.push_back(Act(TVsActionKind::SetCaret, key == TVsKey::Home ? start : start + length));
        out.push_back(Act(TVsActionKind::ScrollCaret));
        out.push_back(Act(key == TVsKey::Home ? TVsActionKind::ScrollFullyLeft : TVsActionKind::FixShortLine));
        out.push_back(Act(TVsActionKind::Repaint));
        r.handled = true;
      }
      break;
    case TVsKey::Left:
    case TVsKey::Back:
      if (st.inVirtual) {
        SetTo(st, line, column - 1, ctx, out);
        r.handled = true;
      }
      break;
    case TVsKey::Right:
      if (st.inVirtual || column >= length) {
        SetTo(st, line, column + 1, ctx, out);
        r.handled = true;
      }
      break;
    case TVsKey::Up:
    case TVsKey::Down: {
      const int neighbour = key == TVsKey::Up ? line - 1 : line + 1;
      if (neighbour >= 0 && neighbour < lineCount &&
          (st.inVirtual || ctx.lines->LineLength(neighbour) < column)) {
        SetTo(st, neighbour, column, ctx, out);
        r.handled = true;
      }
      break;
    }
    case TVsKey::Tab:
      r.handled = true;
      if (ctx.readOnly) {
        out.push_back(Act(TVsActionKind::Beep));
        break;
      }
      if (st.inVirtual) Materialize(st, ctx, out);
      out.push_back(Act(TVsActionKind::Insert, 0, 0, false,
                        ctx.tabSpaces > 0 ? std::string(static_cast<std::size_t>(ctx.tabSpaces), ' ') : "\t"));
      break;
    case TVsKey::Delete:
    case TVsKey::PageUp:
    case TVsKey::PageDown:
      if (st.inVirtual) Leave(st, true, out);
      break;
    case TVsKey::Other:
    case TVsKey::Modifier:
      break;
  }
  return r;
}

int VSColumnFromX(int x, int horizontalScroll, int leftMargin, int averageCharWidth) {
  if (averageCharWidth <= 0) averageCharWidth = 8;
  return std::max((x + horizontalScroll - leftMargin) / averageCharWidth, 0);
}

int VSCaretX(int column, int averageCharWidth, int leftMargin, int horizontalScroll) {
  if (averageCharWidth <= 0) averageCharWidth = 8;
  return column * averageCharWidth + leftMargin - horizontalScroll;
}

}  // namespace NoteText
