// SPDX-License-Identifier: MIT
#include "shell/master/ComponentsTarn.h"

namespace tarn {

TObjMasterClient::~TObjMasterClient()
{
    DetachFromMaster();
}

void TObjMasterClient::SetObjMaster(TObjMasterTarn* master)
{
    objMaster_ = master;
    if (master != nullptr) {
        master->RegisterListener(Listener());
    }
}

void TObjMasterClient::DetachFromMaster()
{
    if (objMaster_ != nullptr) {
        objMaster_->UnregisterListener(Listener());
        objMaster_ = nullptr;
    }
}

void TObjMasterClient::Dispatch(TObjMasterCode code, std::int32_t index, void* data)
{
    if (code == TObjMasterCode::omMasterDestroying) {
        objMaster_ = nullptr;
    }
    ObjMasterNotify(code, index, data);
}

} // namespace tarn
