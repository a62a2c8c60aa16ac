#pragma once
// The small GUI pieces every tab uses: tabs and buttons with keyboard
// shortcuts, tinted buttons and the busy spinner.
#include <imgui.h>

#include <string>

// Windows virtual-key codes, as the tabs name their shortcuts.
inline constexpr int kVirtualKeyDigit1 = 0x31;
inline constexpr int kVirtualKeyF1 = 0x70;
inline constexpr int kNoKey = -1;

// The hues every tab gives the same action, and the flags of the fixed
// panes the content tabs are laid out in.
inline constexpr float kRevealHue = 0.08325f;
inline constexpr float kDeleteHue = 0.0f;
inline constexpr float kNextHue = 0.4995f;  // next file, skip a group
inline constexpr float kPlayRandomHue = 0.1665f;
inline constexpr ImGuiWindowFlags kPaneFlags =
    ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse;

// True on the frame the key went down (never on auto-repeat). Digit keys do
// not count while a text field has the keyboard: typing "2" into a filter
// box must not press the button bound to 2. F-keys always count.
bool KeyWentDown(int virtualKey);

// Begins a tab item; hovering shows "[F<index+1>] <label>".
bool TabItemWithKey(int index, const char* label, bool forceSelect);
// A button that also fires on its key; hovering shows "[<key>] <label>".
// An icon alone says nothing: `action` names what it does, shown on hover
// (after its key, if it has one).
bool ShortcutButton(const char* label, int virtualKey, const char* action = nullptr);
// A ShortcutButton coloured by hue (saturation and value 0.6/0.7/0.8).
bool TintedButton(const char* label, float hue, int virtualKey, const char* action = nullptr);
// A tinted button showing text exactly as it is ("a##b" shows as a##b; a
// label would hide what follows "##"). Push an ID first: the text is not one.
// A label too long for the pane keeps its end; hovering shows `whole`
// (the label itself when not given).
bool TintedTextButton(const std::string& text, float hue, const std::string& whole = {});
// The hourglass button that turns while a walk or computation runs.
void BusySpinner();

// Sees every tab and button the widgets above draw, with its label and
// rectangle: lets an automation driver find a control by what it says.
class ItemObserver {
 public:
  virtual ~ItemObserver() = default;
  virtual void OnItem(const char* label, const ImVec2& min, const ImVec2& max) = 0;
};
void SetItemObserver(ItemObserver* observer);
// Reports the item just drawn with plain GUI calls under the given name.
void ObserveLastItem(const char* label);

// A short word on how something stands: quiet (waiting, done) or a
// problem (a failure and its reason), in red.
enum class Tone { Quiet, Problem };
void StatusText(const std::string& text, Tone tone);
// What a list row says beside its name while an operation on it waits, or
// after it failed; drawn with the row's next item on the same line.
struct RowNote {
  std::string text;
  bool problem = false;
};
void DrawRowNote(const RowNote& note);

// "[link]" before a row whose entry is a symbolic link; hovering it shows
// where the link points.
void LinkMark(const std::string& path);

// A checkbox whose label wraps at the pane's edge instead of running past
// it; a click on the label toggles it too.
bool WrappedCheckbox(const char* label, bool* value);

// The width a button with this label takes (the label up to "##", with
// the frame's padding), so a row can be laid out before it is drawn.
float ButtonWidth(const char* label);
// Puts the next item of this width on the current line when it fits
// there, else starts a new line: rows of buttons wrap at large font sizes
// instead of running past the pane.
void SameLineIfFits(float nextWidth);
// A tinted button on the current line whose right edge meets the
// content's right edge.
bool RowEndButton(const char* label, float hue, const char* action = nullptr);
// The label a row-end button has room for: the whole label, or its icon
// alone when the row's text would keep fewer than 16 characters' room
// beside it (`reserved`: what else the row holds, in pixels).
const char* RowEndLabel(const char* label, const char* icon, float reserved);

// One line of text (control characters shown as U+FFFD): the head whole,
// then as much of the tail as fits before `reserve` pixels from the right
// edge. When the tail does not fit, its end shows after "...", since the
// end of a name is what tells names apart (identifier, extension); hovering
// then shows `whole` (UTF-8 or file-system bytes).
void TextKeepingItsEnd(const std::string& head, const std::string& tail, const std::string& whole,
                       float reserve = 0.0f);
inline void TextKeepingItsEnd(const std::string& text) { TextKeepingItsEnd({}, text, text); }
