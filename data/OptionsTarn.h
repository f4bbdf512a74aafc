// SPDX-License-Identifier: MIT
#pragma once
// User preferences: a constant table of options, the option objects made from
// it, and their storage under a settings path. Dialog controls are reached
// through TOptionControl so that this layer needs no toolkit.

#include "data/DataTypesTarn.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TXMLSettings;
class TSettingsTarn;

// A dialog control an option can be shown in.
class TOptionControl {
public:
    virtual ~TOptionControl() = default;
};

// A check box; the dialog wraps its toolkit check boxes in this.
class TCheckBoxControl : public TOptionControl {
public:
    virtual bool IsChecked() const = 0;
    virtual void SetChecked(bool checked) = 0;
};

class TOption {
public:
    TOption() = default;
    TOption(const TOption&) = delete;
    TOption& operator=(const TOption&) = delete;
    virtual ~TOption() = default;

    std::string Name;
    std::int32_t Index = 0;
    TSettingsTarn* Owner = nullptr;

    virtual void ToControl(TOptionControl& control) const = 0;
    virtual void FromControl(const TOptionControl& control) = 0;
    virtual void SetText(std::string_view text) = 0;
    virtual void SaveTo(std::string_view prefix, TXMLSettings& store) const = 0;
    virtual void LoadFrom(std::string_view prefix, const TXMLSettings& store) = 0;

protected:
    std::string PathUnder(std::string_view prefix) const;
};

class TBooleanOption : public TOption {
public:
    bool Value = false;

    // Throw EDataError "Improper control for the boolean" for anything but a check box.
    void ToControl(TOptionControl& control) const override;
    void FromControl(const TOptionControl& control) override;
    // Exactly "true" (case-sensitive) sets the value.
    void SetText(std::string_view text) override;
    void SaveTo(std::string_view prefix, TXMLSettings& store) const override;
    void LoadFrom(std::string_view prefix, const TXMLSettings& store) override;
};

enum class TOptionClass { Boolean };

struct TOptionConstItem {
    std::int32_t Index;
    const char* Name;
    const char* DefaultText;
    TOptionClass OptionClass;
};

// Option indexes, as the panels ask for them.
inline constexpr std::int32_t optFilterAutoset = 0;
inline constexpr std::int32_t optVrmsFromAC = 1;
inline constexpr std::int32_t optRemoteControl = 2;

inline constexpr std::array<TOptionConstItem, 3> OptionTable{{
    {optFilterAutoset, "FilterAutoset", "true", TOptionClass::Boolean},
    {optVrmsFromAC, "VrmsFromAC", "true", TOptionClass::Boolean},
    // Off unless the user asks: it opens a port.
    {optRemoteControl, "RemoteControl", "false", TOptionClass::Boolean},
}};

// Options are stored below this path.
inline constexpr char OptionsPath[] = "/options";
// Dialog controls bound to an option carry this tag plus the option index.
inline constexpr int OptionControlTagBase = 1000;
// Option dialog pages whose controls are bound carry this tag.
inline constexpr int OptionPageTag = 100;

class TOptions {
public:
    // Every option of the table with its default value.
    explicit TOptions(TSettingsTarn* settings = nullptr);
    TOptions(const TOptions&) = delete;
    TOptions& operator=(const TOptions&) = delete;

    // An empty entry or an index out of range does nothing.
    void ToControl(std::int32_t index, TOptionControl& control) const;
    void FromControl(std::int32_t index, const TOptionControl& control);
    // False for an empty entry or an index out of range; an entry of
    // another class throws std::bad_cast.
    bool BoolValue(std::int32_t index) const;
    // Sets a Boolean option (same rules as BoolValue; out of range does nothing).
    void SetBoolValue(std::int32_t index, bool value);

    void SaveTo(std::string_view prefix, TXMLSettings& store) const;
    void LoadFrom(std::string_view prefix, const TXMLSettings& store);

    std::size_t Count() const { return Items_.size(); }
    TOption* Item(std::int32_t index) const;

private:
    std::vector<std::unique_ptr<TOption>> Items_;
};
