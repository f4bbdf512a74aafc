// SPDX-License-Identifier: MIT
#include "ModuleSupport.h"

namespace tarnplugin {

namespace {

TTarnRequestFunc request = nullptr;

void SendText(const char* text, void* buffer, void* length)
{
    if (length != nullptr) {
        *static_cast<int32_t*>(length) = static_cast<int32_t>(std::strlen(text));
    }
    if (buffer != nullptr) {
        std::memcpy(buffer, text, std::strlen(text) + 1);
    }
}

// The first block stored with the work waveform, when it is this module's.
std::string StoredBlock()
{
    int32_t own = 0;
    request(TARN_REQUEST_REWIND, 0, &own, nullptr);
    if (own == 0) {
        return {};
    }
    const void* block = nullptr;
    int32_t length = -1;
    request(TARN_REQUEST_NEXT_BLOCK, 0, &block, &length);
    return length > 0 && block != nullptr
               ? std::string(static_cast<const char*>(block), static_cast<std::size_t>(length))
               : std::string();
}

// Writes the samples into the view and keeps the block with the waveform.
void Fill(TWaveformData* view, const TSampleBlock& sample, const std::string& block)
{
    const std::vector<unsigned short> samples = sample(block, view->Count, view->Range);
    std::memcpy(view->Samples, samples.data(), samples.size() * sizeof(unsigned short));
    request(TARN_REQUEST_RESET_DATA, 0, nullptr, nullptr);
    request(TARN_REQUEST_ADD_BLOCK, static_cast<intptr_t>(block.size()), const_cast<char*>(block.data()), nullptr);
}

void Run(QWidget* parent, bool edit, const TAskParameters& ask, const TSampleBlock& sample)
{
    std::string block;
    if (request == nullptr || !ask(parent, edit ? StoredBlock() : std::string(), block)) {
        return;
    }
    TWaveformData* view = nullptr;
    if (edit) {
        request(TARN_REQUEST_GET_DATA, 0, &view, nullptr);
        if (view != nullptr && view->Count > 0) {
            Fill(view, sample, block);
            request(TARN_REQUEST_COMMIT, 0, nullptr, nullptr);
        }
        return;
    }
    // The New-wave dialog gives the work waveform its name, size and mode.
    TTarnBool accepted = 0;
    request(TARN_REQUEST_NEW_WAVE, 0, &view, &accepted);
    if (accepted != 0 && view != nullptr && view->Count > 0) {
        Fill(view, sample, block);
        request(TARN_REQUEST_ADD_WAVE, 0, nullptr, nullptr);
    }
}

bool AnswerProbe(const TModuleDescription& module, int32_t code, void* p3, void* p4)
{
    switch (code) {
    case TARN_MODULE_NAME:
        SendText(module.name, p3, p4);
        return true;
    case TARN_MODULE_CAPTION:
        SendText(module.caption, p3, p4);
        return true;
    case TARN_MODULE_KEY:
        *static_cast<int32_t*>(p3) = module.key;
        return true;
    case TARN_MODULE_FLAGS:
        *static_cast<int32_t*>(p3) = module.flags;
        return true;
    case TARN_MODULE_SET_REQUEST:
        request = reinterpret_cast<TTarnRequestFunc>(p3);
        return true;
    default:
        return false;
    }
}

} // namespace

void ServeAppRequest(const TModuleDescription& module, const TAskParameters& ask, const TSampleBlock& sample,
                     int32_t code, intptr_t param, void* p3, void* p4)
{
    if (!AnswerProbe(module, code, p3, p4) && (code == TARN_MODULE_EDIT || code == TARN_MODULE_CREATE)) {
        Run(reinterpret_cast<QWidget*>(param), code == TARN_MODULE_EDIT, ask, sample);
    }
}

void ServeCreateRequest(const TModuleDescription& module, const TMakeSamples& make, int32_t code, intptr_t param,
                        void* p3, void* p4)
{
    if (AnswerProbe(module, code, p3, p4) || code != TARN_MODULE_CREATE || request == nullptr) {
        return;
    }
    int32_t range = 4096;
    request(TARN_REQUEST_SAMPLE_RANGE, 0, &range, nullptr);
    std::vector<unsigned short> samples;
    if (!make(reinterpret_cast<QWidget*>(param), range, samples) || samples.empty()) {
        return;
    }
    // The New-wave dialog takes the buffer as it is; the program adds the waveform.
    TWaveformData data{samples.data(), static_cast<int32_t>(samples.size()), range};
    TTarnBool accepted = 0;
    request(TARN_REQUEST_NEW_WAVE_DATA, 0, &data, &accepted);
}

} // namespace tarnplugin
