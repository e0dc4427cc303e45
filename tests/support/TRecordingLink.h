#pragma once
// A data link that writes down every notification it hears, in order, as short words.

#include "TDataSet.h"

#include <string>
#include <vector>

class TRecordingLink : public TDataLink
{
public:
    std::vector<std::string> Events;

protected:
    void ActiveChanged() override { Events.push_back(Active() ? "opened" : "closed"); }
    void DataSetChanged() override { Events.push_back("changed"); }
    void DataSetScrolled(int distance) override { Events.push_back("scrolled " + std::to_string(distance)); }
    void RecordChanged(TField*) override { Events.push_back("record"); }
    void EditingChanged() override { Events.push_back("editing"); }
    void DisabledStateChanged(bool disabled) override { Events.push_back(disabled ? "suspended" : "resumed"); }
};
