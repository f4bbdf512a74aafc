// SPDX-License-Identifier: MIT
// What every shipped module does the same way: answer the probe codes and run
// create or edit around a dialog of its own. Built against the SDK header only.
#pragma once
#include "tarn/tarnmodule.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace tarnplugin {

struct TModuleDescription {
    const char* name;
    const char* caption;
    int32_t key;
    int32_t flags;
};

// Asks the user for the module's parameters, starting from the stored block
// (empty when there is none); gives the new block, or false on Cancel.
using TAskParameters = std::function<bool(QWidget* parent, const std::string& stored, std::string& block)>;
// The samples for a block, count of them in codes 0 .. range - 1.
using TSampleBlock = std::function<std::vector<unsigned short>(const std::string& block, int count, int range)>;

// Makes a new waveform's samples (codes 0 .. range - 1) in the module's own
// dialog; false on Cancel.
using TMakeSamples = std::function<bool(QWidget* parent, int range, std::vector<unsigned short>& samples)>;

// The body of AppRequest for a module that creates and edits through its data block.
void ServeAppRequest(const TModuleDescription& module, const TAskParameters& ask, const TSampleBlock& sample,
                     int32_t code, intptr_t param, void* p3, void* p4);
// The body of AppRequest for a module that only creates, from a buffer of its
// own handed to the New-wave dialog (the size is then fixed).
void ServeCreateRequest(const TModuleDescription& module, const TMakeSamples& make, int32_t code, intptr_t param,
                        void* p3, void* p4);

} // namespace tarnplugin
