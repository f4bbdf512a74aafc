// SPDX-License-Identifier: MIT
#pragma once
// The program's string table: every text the user can see, in one place.
// Use the named constants (Strings::MainCaption); the table form
// (StringTable()) lists them all for checks and look-up by key.
// To add a text, append one X(Key, "text") line to the list below.

#include <string_view>
#include <vector>

#define TARN_STRING_TABLE(X)                                                                                           \
    /* main window */                                                                                                  \
    X(MainCaption, "Sable Generator")                                                                                  \
    X(MenuFiles, "Files")                                                                                              \
    X(MenuExit, "Exit")                                                                                                \
    X(MenuExitPreserveH, "Exit (preserve H output)")                                                                   \
    X(MenuSettings, "Settings")                                                                                        \
    X(MenuOptions, "Options")                                                                                          \
    X(MenuHelp, "Help")                                                                                                \
    X(MenuHelpItem, "Help")                                                                                            \
    X(MenuAbout, "About")                                                                                              \
    X(MenuUndo, "Undo")                                                                                                \
    X(MenuRedo, "Redo")                                                                                                \
    X(UndoDelete, "delete \"%1\"")                                                                                     \
    X(UndoDuplicate, "duplicate \"%1\"")                                                                               \
    X(UndoRename, "rename \"%1\" to \"%2\"")                                                                           \
    X(UndoNew, "new \"%1\"")                                                                                           \
    X(UndoCreate, "create \"%1\"")                                                                                     \
    X(UndoEdit, "edit \"%1\"")                                                                                         \
    X(DeleteStandardQuestion, "\"%1\" is a standard waveform. Delete it?")                                             \
    X(FilterAllWaveforms, "Show all waveforms")                                                                        \
    X(FilterStandardWaveforms, "Show standard waveforms")                                                              \
    X(FilterArbitraryWaveforms, "Show arbitrary waveforms")                                                            \
    X(PopupSendToGenerator, "Send to generator")                                                                       \
    X(PopupNew, "New")                                                                                                 \
    X(PopupDuplicate, "Duplicate")                                                                                     \
    X(PopupDelete, "Delete")                                                                                           \
    X(PopupEditBy, "Edit by")                                                                                          \
    X(PopupProperties, "Properties")                                                                                   \
    X(PopupCreateBy, "Create by")                                                                                      \
    X(GroupOutputL, "Output L")                                                                                        \
    X(GroupOutputH, "Output H")                                                                                        \
    X(GroupWaveform, "Waveform")                                                                                       \
    X(GroupArm, "ARM")                                                                                                 \
    X(GroupTrigger, "Trigger")                                                                                         \
    X(GroupMode, "Mode")                                                                                               \
    X(GroupFrequency, "Frequency")                                                                                     \
    /* start-up and shutdown */                                                                                        \
    X(OtherInstanceRunning, "Other instance of the application is already running. Please use the other one to "       \
                            "control generator.")                                                                      \
    X(SplashCreatingUserInterface, "Creating user interface ...")                                                      \
    X(SplashCreatingDeviceContext, "Creating device context ...")                                                      \
    X(SplashStartingUserInterface, "Starting user interface ...")                                                      \
    X(ExitConfirmation, "You are about to exit the application. Are you sure?")                                        \
    X(UnableToSaveSettings, "Unable to save settings. Please check if the settings.xml is not read-only.")             \
    X(UnableToSaveRepository,                                                                                          \
      "Unable to save waveform repository. Please check if the waveforms.dat is not read-only.")                       \
    X(ErrorCaption, "Error")                                                                                           \
    /* communication broken */                                                                                         \
    X(CommBrokenCaption, "Communication broken")                                                                       \
    X(CommBrokenMessage, "Communication with the device is broken. Application will automatically try to "             \
                         "reinitialize communication. Click \"Exit\" button to terminate application.")                \
    X(CommBrokenExit, "Exit")                                                                                          \
    X(HelpMissing, "The manual %1 could not be opened.")                                                               \
    /* waveform dialogs */                                                                                             \
    X(NewWaveCaption, "New wave")                                                                                      \
    X(LabelName, "Name:")                                                                                              \
    X(LabelSize, "Size:")                                                                                              \
    X(LabelMode, "Mode:")                                                                                              \
    X(LabelEditor, "Editor:")                                                                                          \
    X(NewWaveDefaultName, "New")                                                                                       \
    X(NewWaveDefaultSize, "8k")                                                                                        \
    X(ModeStandard, "Standard")                                                                                        \
    X(ModeArbitrary, "Arbitrary")                                                                                      \
    X(ButtonOK, "OK")                                                                                                  \
    X(ButtonCancel, "Cancel")                                                                                          \
    X(WaveformSizeOutOfRange, "Waveform size is out of device capabilities. Valid values are from %d to %d.")          \
    X(IncorrectSize, "Incorrect size")                                                                                 \
    X(WavePropertiesCaption, "Waveform properties")                                                                    \
    X(EditorNone, "None")                                                                                              \
    X(WordSamples, "samples")                                                                                          \
    X(StandardSine, "Sine")                                                                                            \
    X(StandardSaw, "Saw")                                                                                              \
    X(StandardTriangle, "Triangle")                                                                                    \
    X(StandardSquare, "Square")                                                                                        \
    /* about window */                                                                                                 \
    X(AboutCaption, "About")                                                                                           \
    X(AboutApplicationVersion, "Application version: ")                                                                \
    X(AboutDriverVersion, "Driver version: ")                                                                          \
    X(AboutFindUs, "Find us at: ")                                                                                     \
    X(AboutContactUs, "Contact us at: ")                                                                               \
    X(AboutSerialNumber, "Serial number: ")                                                                            \
    X(AboutWebAddress, "https://tarn.example.org")                                                                     \
    X(AboutSupportAddress, "support@tarn.example.org")                                                                 \
    X(AboutMailtoPrefix, "mailto:")                                                                                    \
    X(VersionFormat, "%d.%.2d")                                                                                        \
    X(SerialNumberFormat, "%.8d")                                                                                      \
    X(NotAvailable, "N/A")                                                                                             \
    /* detached window */                                                                                              \
    X(DetachedMainWindow, "Main window")                                                                               \
    X(DetachedShow, "Show")                                                                                            \
    X(DetachedHide, "Hide")                                                                                            \
    X(DetachedSettings, "Settings")                                                                                    \
    X(DetachedTransparency, "Transparency")                                                                            \
    X(TransparencyNone, "None")                                                                                        \
    X(TransparencyLow, "Low")                                                                                          \
    X(TransparencyMedium, "Medium")                                                                                    \
    X(TransparencyHigh, "High")                                                                                        \
    X(DetachedAlwaysOnTop, "Always on top")                                                                            \
    X(DetachedCaptionSeparator, " - ")                                                                                 \
    /* options dialog */                                                                                               \
    X(OptionsCaption, "Options")                                                                                       \
    X(OptionsPageDevice, "Device")                                                                                     \
    X(OptionsPageDisplay, "Display")                                                                                   \
    X(OptionsSectionAutoset, "Autoset")                                                                                \
    X(OptionsSectionOutputInfo, "Output info")                                                                         \
    X(OptionFilterAutoset, "Filter autoset")                                                                           \
    X(OptionVrmsFromAC, "Vrms from AC")                                                                                \
    /* device search */                                                                                                \
    X(UnableToLoadUsbLibrary, "Unable to load VIREO driver.")                                                          \
    X(PlugTheDevice, "Please, plug the device to the computer and follow instructions of the operating "               \
                     "system.")                                                                                        \
    X(DeviceNotFound, "Unable to find supported device. Do you want software to search again? Click \"no\" to "        \
                      "run in demonstration mode or \"abort\" to quit application.")                                   \
    X(CalibrationBroken, "Calibration data in the device are broken. The generated signal will be inaccurate.")        \
    X(ContactManufacturer, "Please contact manufacturer for support.")                                                 \
    X(DemonstrationMode, "Application will run in demonstration mode.")                                                \
    /* plug-in modules */                                                                                              \
    X(UnableToLoadModule, "Unable to load requested module")                                                           \
    X(ModuleWaveformInfo, "%s (mode: %s - size %s)")                                                                   \
    X(UnsafeModulePath, "The module %s was not loaded: it can be changed by other users (%s).")                        \
    /* channel panel */                                                                                                \
    X(ButtonVpp, "Vpp")                                                                                                \
    X(ButtonVp, "Vp")                                                                                                  \
    X(ButtonVpPlus, "+")                                                                                               \
    X(ButtonVpMinus, "-")                                                                                              \
    X(ButtonVrms, "Vrms")                                                                                              \
    X(ButtonVavg, "Vavg")                                                                                              \
    X(ButtonOff, "Off")                                                                                                \
    X(ButtonOn, "On")                                                                                                  \
    X(ButtonAtn20, "-20")                                                                                              \
    X(ButtonAtn0, "0")                                                                                                 \
    X(ButtonLoadOpen, "Open")                                                                                          \
    X(ButtonLoad50, "50")                                                                                              \
    X(ButtonLoad600, "600")                                                                                            \
    X(ButtonAutodB, "Auto dB")                                                                                         \
    X(ButtonManualdB, "Man dB")                                                                                        \
    X(ButtonSet0dB, "Set 0 dB")                                                                                        \
    X(ButtonCon, "Con")                                                                                                \
    X(ButtonStep, "Step")                                                                                              \
    X(ButtonShiftOut, "OUT")                                                                                           \
    X(ButtonShiftNull, "0")                                                                                            \
    X(LabelLevel, "Lvl")                                                                                               \
    X(LabelShift, "Shift")                                                                                             \
    X(FilterOff, "Off")                                                                                                \
    X(Filter40MHz, "40MHz")                                                                                            \
    X(Filter20MHz, "20MHz")                                                                                            \
    X(UnitdBW, "dBW")                                                                                                  \
    X(UnitdBmW, "dBmW")                                                                                                \
    X(UnitdBmV, "dBmV")                                                                                                \
    X(UnitdBuV, "dBuV")                                                                                                \
    X(UnitVolt, "V")                                                                                                   \
    X(LoadOpenText, "Open")                                                                                            \
    /* trigger and mode panel */                                                                                       \
    X(ButtonSingle, "Single")                                                                                          \
    X(ButtonPeriod, "Period")                                                                                          \
    X(ButtonGo, "Go")                                                                                                  \
    X(ButtonStop, "Stop")                                                                                              \
    X(ButtonArmZero, "0")                                                                                              \
    X(ButtonArmOne, "1")                                                                                               \
    /* frequency bar */                                                                                                \
    X(ButtonZoomIn, "Zoom in")                                                                                         \
    X(ButtonZoomOut, "Zoom out")                                                                                       \
    X(ButtonZoomAway, "Zoom away")                                                                                     \
    X(ButtonSet, "Set")                                                                                                \
    X(CaptionWaveformFrequency, "Waveform frequency")                                                                  \
    X(CaptionSamplingRate, "Sampling rate")                                                                            \
    /* hints */                                                                                                        \
    /* what the warning colours mean */                                                                                \
    X(HintLevelWarning, "Red: the peak-peak voltage %1 is outside %2 to %3, where this output is accurate")            \
    X(HintLevelNormal, "Turns red when the peak-peak voltage leaves %1 to %2, where this output is accurate")          \
    X(HintShiftWarning, "Red: with its shift the signal passes %1 or -%1, beyond what this output gives "              \
                        "undistorted")                                                                                 \
    X(HintShiftNormal, "Turns red when the signal with its shift passes %1 or -%1, beyond what this output "           \
                       "gives undistorted")                                                                            \
    X(HintColourTyped, "White on red: typed, not applied yet; press Enter to apply it")                                \
    X(HintColourPending, "Red: the value you set, sent to the device at once with \"Con\", by the button "             \
                         "with \"Step\"")                                                                              \
    X(HintColourDevice, "Green: the value the device has now")                                                         \
    X(HintVppOnOff, "Toggle peak-peak voltage indicator on/off")                                                       \
    X(HintVpOnOff, "Toggle peak voltage indicator on/off")                                                             \
    X(HintVrmsOnOff, "Toggle effective voltage indicator on/off")                                                      \
    X(HintVavgOnOff, "Toggle average voltage indicator on/off")                                                        \
    X(HintVpPlus, "Show zero-maximum voltage peak")                                                                    \
    X(HintVpMinus, "Show minimum-zero voltage peak")                                                                   \
    X(HintVppEdit, "Peak-peak voltage")                                                                                \
    X(HintVpEdit, "Peak voltage")                                                                                      \
    X(HintVrmsEdit, "Effective voltage")                                                                               \
    X(HintVavgEdit, "Average voltage")                                                                                 \
    X(HintVrmsEditAC, "Vrms (AC): effective voltage of the alternating part, the mean left out")                       \
    X(HintVavgEditAC, "Vavg (AC): average of the rectified alternating part, the mean left out")                       \
    X(HintLevelBar, "Move to change level")                                                                            \
    X(HintShiftBar, "Move to change shift")                                                                            \
    X(HintOutputOn, "Turn channel output on")                                                                          \
    X(HintOutputOff, "Turn channel output off")                                                                        \
    X(HintOutput20, "Set output attenuator to -20dB")                                                                  \
    X(HintOutput0, "Set output attenuator to 0dB")                                                                     \
    X(HintdBUnits, "Unit of displayed value")                                                                          \
    X(HintdBAbs, "Peak-peak voltage recalculated into specified units")                                                \
    X(HintAutodB, "Value filled in dB indicator is relative to current level")                                         \
    X(HintManualdB, "Value filled in dB indicator is relative to the level, that was marked as 0dB")                   \
    X(HintSet0dB, "Set this level as 0dB")                                                                             \
    X(HintdBRel, "Fill the value in dB and hit enter to set it")                                                       \
    X(HintShiftCon, "Every change of shift is set to device immediately")                                              \
    X(HintShiftStep, "Every change of shift is set to device after click on \"OUT\" button")                           \
    X(HintShiftOut, "Set shift to device")                                                                             \
    X(HintShiftNull, "Set zero shift to device")                                                                       \
    X(HintLoadOpen, "No load is connected to output")                                                                  \
    X(HintLoad50, "The %d ohm load is connected to output")                                                            \
    X(HintLoadEdit, "Load connected to output")                                                                        \
    X(HintFilter, "Output filter")                                                                                     \
    X(HintFrequencyEdit, "Frequency in software")                                                                      \
    X(HintDevFrequencyEdit, "Frequency in device")                                                                     \
    X(HintConMode, "Every change of frequency is set to device immediately")                                           \
    X(HintStepMode, "Every change of frequency is set to device after click on \"Set\" button")                        \
    X(HintTrigOn, "Trigger from external source")                                                                      \
    X(HintTrigOff, "Triggering disabled")                                                                              \
    X(HintTrigLeading, "Trigger on leading edge")                                                                      \
    X(HintTrigTrailing, "Trigger on trailing edge")                                                                    \
    X(HintTrigGo, "Enable generation")                                                                                 \
    X(HintTrigStop, "Disable generation")                                                                              \
    X(HintModeSingle, "Set single mode")                                                                               \
    X(HintModePeriod, "Set period mode")                                                                               \
    X(HintArmOn, "Enables arming from external source")                                                                \
    X(HintArmOff, "Disables arming from external source")                                                              \
    X(HintArmZero, "Zero suspends generation")                                                                         \
    X(HintArmOne, "One suspends generation")                                                                           \
    /* error texts of the data layer */                                                                                \
    X(ErrWrongInteger, "Wrong integer in file")                                                                        \
    X(ErrWrongString, "Wrong string in file")                                                                          \
    X(ErrUnknownFileVersion, "Unknown file version")                                                                   \
    X(ErrUnknownFileType, "Unknown file type")                                                                         \
    X(ErrUnsupportedFileVersion, "Unsupported file version")                                                           \
    X(ErrUnsupportedFileType, "Unsupported file type")                                                                 \
    X(ErrImproperBooleanControl, "Improper control for the boolean")                                                   \
    X(ErrIncorrectFrequency, "Incorrect frequency value")                                                              \
    X(ErrIncorrectLoad, "Incorrect load value")                                                                        \
    /* Channel panels: accessible names of the two shift fields */                                                     \
    X(NamePendingShift, "Pending shift")                                                                               \
    X(NameDeviceShift, "Shift in device")                                                                              \
    /* Trigger panel and frequency bar */                                                                              \
    X(AccessibleFrequencyScale, "Frequency scale")                                                                     \
    X(AccessibleFineShift, "Fine frequency shift")                                                                     \
    X(TipSoftwareMarker, "Frequency in software (red): %1")                                                            \
    X(TipSoftwarePending, "Frequency in software (red): %1, sent to the device by \"Set\"")                            \
    X(TipSoftwareBeyond, "Frequency in software (red): %1, outside the view: drag the triangle back")                  \
    X(TipDeviceMarker, "Frequency in device (green): %1")                                                              \
    X(TipLowestFrequency, "Lowest frequency of this waveform: %1")                                                     \
    X(TipHighestFrequency, "Highest frequency of this waveform: %1")                                                   \
    X(TipViewStart, "Left end of the view: %1 (lowest frequency %2)")                                                  \
    X(TipViewEnd, "Right end of the view: %1 (highest frequency %2)")                                                  \
    /* Waveform list and dialogs */                                                                                    \
    X(AccessibleWaveformList, "Waveforms")                                                                             \
    X(AccessibleWavePreview, "Waveform preview")                                                                       \
    X(WavePreviewPlaying, "Now playing: %1")                                                                           \
    X(WaveListPlaying, "Playing")                                                                                      \
    X(StatusDemonstration, "demonstration mode")                                                                       \
    X(StatusVirtualGenerator, "virtual generator")                                                                     \
    X(StatusSerialNumber, "generator %1")                                                                              \
    X(StatusCommBroken, "communication broken, retrying")                                                              \
    X(StatusReconnected, "reconnected")                                                                                \
    X(StatusSamplingRate, "%1 = %2 waveform")                                                                          \
    X(StatusFrequencyAbove, "%1 is above the limit: %2 set")                                                           \
    X(StatusFrequencyBelow, "%1 is below the limit: %2 set")                                                           \
    X(StatusLevelAbove, "%1 exceeds %2: %3 set")                                                                       \
    X(StatusLevelBelow, "%1 is below what %2 gives: %3 set")                                                           \
    X(AccessibleMenuBar, "Menu bar")                                                                                   \
    X(AccessibleControls, "Generator controls")                                                                        \
    X(AccessibleItemMenu, "Waveform actions")                                                                          \
    X(AccessibleListMenu, "Waveform list actions")                                                                     \
    X(AccessibleDbUnit, "dB unit")                                                                                     \
    /* sweeps: why a setup cannot be swept, and why a sweep stopped */                                             \
    X(SweepNotFinite, "The sweep's values must be finite numbers.")                                                  \
    X(SweepLogNeedsPositive, "A logarithmic sweep needs start and stop above 0.")                                    \
    X(SweepStartIsStop, "Start and stop of the sweep are equal.")                                                    \
    X(SweepStartIsStopInLimits, "Start and stop of the sweep are equal within the limits of the waveform.")          \
    X(SweepTooFewPoints, "A sweep needs at least 2 points.")                                                         \
    X(SweepTooManyPoints, "A sweep takes at most 100000 points.")                                                    \
    X(SweepBadStep, "The step of a sweep must be above 0 (a ratio above 1 for a logarithmic sweep).")                \
    X(SweepDwellTooShort, "Each point of a sweep needs at least 10 ms.")                                             \
    X(SweepBadCount, "The sweep count must be 0 (continuous) or more.")                                              \
    X(SweepEmptyLimits, "There is no range to sweep in.")                                                            \
    X(SweepEmptyList, "The list holds no points.")                                                                   \
    X(SweepListBadFrequency, "Every frequency of the list must be above 0.")                                         \
    X(SweepListNoLevel, "Levels cannot be swept here.")                                                              \
    X(SweepNeedsConMode, "A sweep runs only in \"Con\" mode.")                                                       \
    X(SweepNeedsDevice, "A sweep cannot run while communication is broken.")                                         \
    X(SweepStoppedStep, "Sweep stopped: \"Step\" mode")                                                              \
    X(SweepStoppedCommBroken, "Sweep stopped: communication broken")                                                 \
    X(SweepStoppedWaveform, "Sweep stopped: another waveform plays")                                                 \
    /* ---- added by the program: texts naming the Linux library files ---- */                                         \
    X(UnableToLoadDriverLibrary, "Unable to load libtarndrv.so. Please reinstall Tarn application.")                   \
    /* Sweep window */                                                                                                 \
    X(MenuSweep, "Sweep...")                                                                                           \
    X(SweepCaption, "Sweep")                                                                                           \
    X(SweepModeSweep, "Sweep")                                                                                         \
    X(SweepModeList, "List")                                                                                           \
    X(SweepModeName, "Sweep or list")                                                                                  \
    X(SweepTarget, "Target")                                                                                           \
    X(SweepTargetFrequency, "Frequency")                                                                               \
    X(SweepTargetLevelL, "Level of Output L")                                                                          \
    X(SweepTargetLevelH, "Level of Output H")                                                                          \
    X(SweepStart, "Start value")                                                                                       \
    X(SweepStop, "Stop value")                                                                                         \
    X(SweepPoints, "Points")                                                                                           \
    X(SweepStepSize, "Step size")                                                                                      \
    X(SweepSpacing, "Spacing")                                                                                         \
    X(SweepLinear, "Linear")                                                                                           \
    X(SweepLogarithmic, "Logarithmic")                                                                                 \
    X(SweepDirection, "Direction")                                                                                     \
    X(SweepUp, "Up")                                                                                                   \
    X(SweepDown, "Down")                                                                                               \
    X(SweepUpDown, "Up and down")                                                                                      \
    X(SweepDwell, "Dwell")                                                                                             \
    X(SweepTime, "Sweep time")                                                                                         \
    X(SweepCount, "Count")                                                                                             \
    X(SweepContinuous, "Continuous")                                                                                   \
    X(SweepListTable, "List points")                                                                                   \
    X(SweepColumnFrequency, "Frequency")                                                                               \
    X(SweepColumnLevel, "Level (Vpp)")                                                                                 \
    X(SweepColumnDwell, "Dwell")                                                                                       \
    X(SweepAddPoint, "Add point")                                                                                      \
    X(SweepRemovePoint, "Remove point")                                                                                \
    X(SweepImportCsv, "Import CSV...")                                                                                 \
    X(SweepImportFilter, "CSV files (*.csv *.txt);;All files (*)")                                                     \
    X(SweepStartButton, "Start")                                                                                       \
    X(SweepStopButton, "Stop")                                                                                         \
    X(SweepProgressName, "Sweep progress")                                                                             \
    X(SweepIdle, "Not running")                                                                                        \
    X(SweepStepOf, "Step %1 of %2")                                                                                    \
    X(SweepPassOf, "pass %1 of %2")                                                                                    \
    X(SweepPassContinuous, "pass %1, continuous")                                                                      \
    X(SweepValueNow, "Current value: %1")                                                                              \
    X(SweepFieldFrequency, "Not a frequency (e.g. 1k, 2.5M)")                                                          \
    X(SweepFieldLevel, "Not a level in volts (e.g. 500m, 2)")                                                          \
    X(SweepFieldDwell, "A time of 10 ms or more (e.g. 50ms, 0.5s)")                                                    \
    X(SweepFieldStep, "Not a step size above 0")                                                                       \
    X(SweepFieldRatio, "A ratio above 1 (e.g. 1.5)")                                                                   \
    X(SweepListRowError, "Point %1: %2")                                                                               \
    X(SweepHintStart, "First value of the sweep")                                                                      \
    X(SweepHintStop, "Last value of the sweep")                                                                        \
    X(SweepHintDwell, "How long each value stays, 10 ms at least")                                                     \
    X(SweepHintTime, "The time of one pass, spread evenly over its values; empty: each value stays the dwell")         \
    X(SweepHintStepSize, "Linear: distance of neighbouring values; logarithmic: their ratio; empty: use the points")   \
    /* Remote control */                                                                                               \
    X(OptionRemoteControl, "Remote control (SCPI on local port 5025)")                                                 \
    X(OptionsSectionRemote, "Remote")                                                                                  \
    X(RemoteListenFailed, "Remote control cannot listen on local port %d (%s). Choose another port in settings.xml "   \
                          "under /remote/port, or end the program that holds it.")                                     \
    X(RemoteBusy, "Remote control is in use by another client; connection closed.")                                    \
    X(RemoteIdentity, "Tarn project,Tarn Generator,0,")

namespace Strings {

#define TARN_STRING_CONSTANT(key, text) inline constexpr char key[] = text;
TARN_STRING_TABLE(TARN_STRING_CONSTANT)
#undef TARN_STRING_CONSTANT

} // namespace Strings

struct TStringEntry {
    std::string_view Key;
    std::string_view Text;
};

// Every entry of the table, in declaration order.
const std::vector<TStringEntry>& StringTable();

// The text for a key, or an empty view for an unknown key.
std::string_view FindString(std::string_view key);
