#pragma once

// `Skin`: attaches an optional skin when both skin files sit in the current directory.

namespace Skin {

// Returns true when the skin library was found, loaded and its entry point called.
bool AttachIfPresent();

}  // namespace Skin
