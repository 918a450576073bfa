#pragma once

#include "spreadsheet_automation.h"

// Owns one object reference handed out by the automation and gives it back when it goes
// out of scope, so that references held together are released most recent first.
class HeldObject {
public:
    explicit HeldObject(SpreadsheetAutomation& automation) : automation_(automation) {}
    HeldObject(const HeldObject&) = delete;
    HeldObject& operator=(const HeldObject&) = delete;
    ~HeldObject() { release(); }

    SpreadsheetAutomation::Object get() const { return object_; }
    // Where an operation stores the reference it hands out; releases any held one first.
    SpreadsheetAutomation::Object& receive() {
        release();
        return object_;
    }
    void release() {
        if (object_ != nullptr) {
            automation_.releaseObject(object_);
            object_ = nullptr;
        }
    }

private:
    SpreadsheetAutomation& automation_;
    SpreadsheetAutomation::Object object_ = nullptr;
};
