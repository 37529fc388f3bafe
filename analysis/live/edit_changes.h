#pragma once
// The panel's ear on the window's edits: the one OnChange handler of each
// edit the window hands the panel, telling every listener of each change of
// a text, typed or set. Made with the panel; until then the edits have no
// handler, and once it is gone they have none again. A click on the mode's
// check box is told too, after the window's own handler has run.
#include "analysis/live/analysis_host.h"
#include "toolkit/app/events.h"

#include <functional>
#include <vector>

class EditChanges {
public:
    explicit EditChanges(const AnalysisHost& host);
    ~EditChanges();
    EditChanges(const EditChanges&) = delete;
    EditChanges& operator=(const EditChanges&) = delete;

    // `listener` runs after each change of any of the edits; returns an id
    // for unsubscribe.
    int subscribe(std::function<void()> listener);
    void unsubscribe(int id);
    // Tells every listener as a change would.
    void notify() { changed(); }

private:
    void changed();

    std::vector<TLabeledEdit*> edits_;
    TCheckBox* mode_ = nullptr;
    TNotifyEvent modeClick_;  // the window's handler, restored when the panel goes
    struct Entry {
        int id;
        std::function<void()> listener;
    };
    std::vector<Entry> listeners_;
    int nextId_ = 1;
};
