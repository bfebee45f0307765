// Where the icon goes in the client area of the minimised dialog.
#pragma once

// Offset that centres an icon of `iconExtent` pixels in `clientExtent`
// pixels. Signed, and the division truncates toward zero: a client area
// narrower than the icon gives a negative offset (0 and 32 give -15).
constexpr int MinimisedIconOffset(int clientExtent, int iconExtent)
{
    return (clientExtent - iconExtent + 1) / 2;
}

static_assert(MinimisedIconOffset(0, 32) == -15, "truncates toward zero");
static_assert(MinimisedIconOffset(100, 32) == 34, "centres");
