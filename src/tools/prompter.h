#pragma once
// How tool handlers ask the user for values, one at a time. The shell implements it with the
// modal input dialog; tests implement it with scripted answers, so no handler needs a window.

#include <string>

class IPrompter {
public:
    // What each prompt returns when the user cancels. Chosen so that a tool's own range
    // check rejects them: a cancelled prompt ends the tool like an invalid value.
    static constexpr float kCancelFloat = 1e36f;
    static constexpr double kCancelDouble = 1e36;
    static constexpr int kCancelInt = 2147483647;
    // (PromptString returns the empty string on cancel.)

    virtual ~IPrompter() = default;

    // Whether the last prompt was cancelled (set by every prompt).
    bool lastCancelled = false;

    // Each call shows prompt (what to enter) and note (a hint) and offers defaultValue, or the
    // answer last confirmed under key when there is one. A non-empty key remembers the
    // confirmed answer across program runs; prompts sharing a key share the answer; an empty
    // key never reads or writes anything. A numeric prompt accepts only a number.

    // Returns the typed number narrowed to float, or kCancelFloat.
    virtual float PromptFloat(const std::string& prompt, const std::string& note,
                              float defaultValue, const std::string& key) = 0;
    // Returns the typed number, or kCancelDouble.
    virtual double PromptDouble(const std::string& prompt, const std::string& note,
                                double defaultValue, const std::string& key) = 0;
    // Returns the typed number rounded half away from zero ("2.5" gives 3, "-2.5" gives -3)
    // and limited to the int range, or kCancelInt.
    virtual int PromptInt(const std::string& prompt, const std::string& note, int defaultValue,
                          const std::string& key) = 0;
    // Returns the typed text cut to its first 255 characters, or "" on cancel.
    virtual std::string PromptString(const std::string& prompt, const std::string& note,
                                     const std::string& defaultValue, const std::string& key) = 0;

protected:
    IPrompter() = default;
    IPrompter(const IPrompter&) = default;
    IPrompter& operator=(const IPrompter&) = default;
};
