// The component the icon writer creates before it writes an icon file and frees after; it
// has no behaviour of its own.
#pragma once

class TIconComponent {
public:
    TIconComponent() = default;
    virtual ~TIconComponent() = default;
};
