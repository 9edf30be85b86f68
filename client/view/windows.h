// Window operations the subsystems share: building a small window afresh,
// placing it, closing it, its opacity and whether it stays on top.
#pragma once

#include "view/forms.h"

namespace tavren {

struct Client;

// The small windows are translucent; the 叫头 prompt a little less.
inline constexpr int kSmallWindowOpacity = 200;
inline constexpr int kPromptOpacity = 220;

// Builds small window `id` afresh: emptied, with its caption and size, loaded
// and layered at `alpha`. The caller adds the controls.
SmallForm& OpenSmallForm(Client& c, FormId id, const char* caption, int w, int h,
                         int alpha = kSmallWindowOpacity);

// Closes small window `id` and forgets its controls.
void CloseSmallForm(Client& c, FormId id);

// Centres a form over the table surface (screen pixels).
void CentreOverTable(Client& c, SmallForm& f);

// Makes a small window translucent with constant opacity `alpha`, but only
// where the system reports platform 2, major version 5; elsewhere it stays
// opaque, as a system without layered windows leaves it.
void LayerSmallWindow(Client& c, SmallForm& f, int alpha);

// Constant opacity 0..255 (false, and nothing applied, outside that range).
bool SetWindowAlpha(Client& c, SmallForm& f, int alpha);
// Whether the window stays on top of other windows.
void SetTopmost(Client& c, SmallForm& f, bool on);

}  // namespace tavren
