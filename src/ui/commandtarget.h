#pragma once

// What a command's menu item, toolbar button and accelerator show.
struct CommandState
{
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
};

// One link of the command route: the active editor view, its document, its child frame, the
// main frame, the application. The first target that knows a command takes it, both for
// running it and for deciding whether it is enabled.
class CommandTarget
{
public:
    virtual ~CommandTarget() = default;
    // With `state` set, only fill in the enabling and do nothing else. Returns false when this
    // target has no handler for the command.
    virtual bool OnCmdMsg(int id, CommandState *state) = 0;
};
