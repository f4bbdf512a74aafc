// SPDX-License-Identifier: MIT
#include "data/OptionsTarn.h"

#include "data/StringsTarn.h"
#include "data/XMLSettings.h"

#include <algorithm>
#include <typeinfo>

std::string TOption::PathUnder(std::string_view prefix) const
{
    std::string path(prefix);
    path += '/';
    path += Name;
    return path;
}

void TBooleanOption::ToControl(TOptionControl& control) const
{
    auto* box = dynamic_cast<TCheckBoxControl*>(&control);
    if (box == nullptr)
        throw EDataError(Strings::ErrImproperBooleanControl);
    box->SetChecked(Value);
}

void TBooleanOption::FromControl(const TOptionControl& control)
{
    const auto* box = dynamic_cast<const TCheckBoxControl*>(&control);
    if (box == nullptr)
        throw EDataError(Strings::ErrImproperBooleanControl);
    Value = box->IsChecked();
}

void TBooleanOption::SetText(std::string_view text)
{
    Value = text == "true";
}

void TBooleanOption::SaveTo(std::string_view prefix, TXMLSettings& store) const
{
    store.WriteBool(PathUnder(prefix), Value);
}

void TBooleanOption::LoadFrom(std::string_view prefix, const TXMLSettings& store)
{
    Value = store.ReadBool(PathUnder(prefix), Value);
}

namespace {

std::unique_ptr<TOption> MakeOption(TOptionClass optionClass)
{
    switch (optionClass) {
    case TOptionClass::Boolean:
        return std::make_unique<TBooleanOption>();
    }
    return nullptr;
}

} // namespace

TOptions::TOptions(TSettingsTarn* settings)
{
    std::int32_t highest = -1;
    for (const auto& row : OptionTable)
        highest = std::max(highest, row.Index);
    Items_.resize(static_cast<std::size_t>(highest + 1));
    for (const auto& row : OptionTable) {
        auto option = MakeOption(row.OptionClass);
        option->Name = row.Name;
        option->Index = row.Index;
        option->Owner = settings;
        option->SetText(row.DefaultText);
        Items_[static_cast<std::size_t>(row.Index)] = std::move(option);
    }
}

TOption* TOptions::Item(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= Items_.size())
        return nullptr;
    return Items_[static_cast<std::size_t>(index)].get();
}

void TOptions::ToControl(std::int32_t index, TOptionControl& control) const
{
    if (TOption* option = Item(index))
        option->ToControl(control);
}

void TOptions::FromControl(std::int32_t index, const TOptionControl& control)
{
    if (TOption* option = Item(index))
        option->FromControl(control);
}

bool TOptions::BoolValue(std::int32_t index) const
{
    TOption* option = Item(index);
    if (option == nullptr)
        return false;
    return dynamic_cast<TBooleanOption&>(*option).Value;
}

void TOptions::SetBoolValue(std::int32_t index, bool value)
{
    if (TOption* option = Item(index))
        dynamic_cast<TBooleanOption&>(*option).Value = value;
}

void TOptions::SaveTo(std::string_view prefix, TXMLSettings& store) const
{
    for (const auto& option : Items_) {
        if (option)
            option->SaveTo(prefix, store);
    }
}

void TOptions::LoadFrom(std::string_view prefix, const TXMLSettings& store)
{
    for (const auto& option : Items_) {
        if (option)
            option->LoadFrom(prefix, store);
    }
}
