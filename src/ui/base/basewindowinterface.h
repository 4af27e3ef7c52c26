#pragma once
// Mix-in for the content of a BaseWindow: the frame asks it before closing. Main thread only.

class BaseWindowInterface
{
public:
    virtual ~BaseWindowInterface() = default;
    // True when the frame may close now. A content that does not override this never lets
    // the close button close its frame.
    virtual bool preCloseWindow() { return false; }
};
