// Test sessions only: opens org.gnome.Shell.Eval, through which the end-to-end tests click and
// look at windows as a person would.
function init() {
    return {
        enable() {
            global.context.unsafe_mode = true;
        },
        disable() {
            global.context.unsafe_mode = false;
        },
    };
}
