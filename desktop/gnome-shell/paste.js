// The shell's half of pasting on GNOME: which window has the focus, told to the program as it
// changes, "bring this window back and press Ctrl+V", and the program's paste shortcut, which a
// program on Wayland cannot grab itself. Nothing else: no other keys, no text, no titles, and
// only for a caller whose executable is the Kelvado installed with this extension. Shared by both
// module styles; the files wrapped around it bring in Gio, GLib, Meta, Clutter, Shell and Main.

const KELVADO_IFACE = `<node>
  <interface name="org.kelvado.Paste">
    <method name="Watch">
      <arg type="t" direction="out" name="window"/>
      <arg type="b" direction="out" name="own"/>
    </method>
    <method name="Paste">
      <arg type="t" direction="in" name="window"/>
      <arg type="b" direction="out" name="pasted"/>
    </method>
    <method name="GrabShortcut">
      <arg type="s" direction="in" name="accelerator"/>
      <arg type="b" direction="out" name="granted"/>
    </method>
    <signal name="Focus">
      <arg type="t" name="window"/>
      <arg type="b" name="own"/>
    </signal>
    <signal name="Shortcut"/>
  </interface>
</node>`;
const KELVADO_PATH = '/org/kelvado/Paste';
// As long as the program waits for a window manager on X11.
const KELVADO_ACTIVATION_MS = 300;
// How long a paste waits for the user to let go of the shortcut's modifiers, and how often it looks.
const KELVADO_MODIFIERS_MS = 1000;
const KELVADO_MODIFIERS_POLL_MS = 10;

var KelvadoPaste = class {
    constructor(metadata) {
        this._executable = metadata['kelvado-executable'];
    }

    enable() {
        this._bus = Gio.DBus.session;
        this._callers = new Map(); // unique bus name -> {pid, watching, watch}
        this._object = Gio.DBusExportedObject.wrapJSObject(KELVADO_IFACE, this);
        this._object.export(this._bus, KELVADO_PATH);
        this._focusHandler = global.display.connect('notify::focus-window', () => this._tell());
        this._acceleratorHandler = global.display.connect('accelerator-activated',
            (display, action) => this._shortcut(action));
    }

    // Not called for the lock screen ("session-modes" in the metadata): that would forget the
    // program and let its shortcut go, and pastes would stop until it was started again. On the
    // lock screen it pastes nothing, and the shortcut works over ordinary windows only.
    disable() {
        global.display.disconnect(this._focusHandler);
        global.display.disconnect(this._acceleratorHandler);
        this._object.unexport();
        for (const name of [...this._callers.keys()])
            this._forget(name);
        this._callers = null;
        this._keyboard = null;
    }

    // Registers the caller for Focus signals, sent to it alone, and answers the focus now.
    WatchAsync(params, invocation) {
        this._serve(invocation, caller => {
            caller.watching = true;
            // Made before the first paste: the first keys of a keyboard made just before them
            // never reached the window.
            this._keyboard ??= Clutter.get_default_backend().get_default_seat()
                .create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
            return new GLib.Variant('(tb)', this._focus(caller));
        });
    }

    // Window 0 is the one that has the focus now, as for a shortcut.
    PasteAsync([id], invocation) {
        this._serve(invocation, async caller => {
            // Never one of the caller's own windows, only one that still exists, and only for a
            // caller that watches, for whom the keyboard is made.
            const target = id === 0 ? global.display.focus_window
                : global.display.get_tab_list(Meta.TabList.NORMAL_ALL, null).find(w => w.get_id() === id);
            const pasted = target && target.get_pid() !== caller.pid && caller.watching &&
                !Main.sessionMode.isLocked && await this._bringBack(target) && await this._modifiersUp() &&
                global.display.focus_window === target;
            if (pasted)
                this._pressCtrlV();
            return new GLib.Variant('(b)', [Boolean(pasted)]);
        });
    }

    // One shortcut for a caller that watches: a new one replaces its last. Refused when anything
    // else in the shell (its own bindings, mutter's, another program's grab) has it already.
    GrabShortcutAsync([accelerator], invocation) {
        this._serve(invocation, caller => {
            if (!caller.watching)
                return new GLib.Variant('(b)', [false]);
            this._ungrab(caller);
            const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.IGNORE_AUTOREPEAT);
            if (action !== 0) {
                caller.shortcut = action;
                // Only over ordinary windows: not on the lock screen, in the overview or a menu.
                Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action), Shell.ActionMode.NORMAL);
            }
            return new GLib.Variant('(b)', [action !== 0]);
        });
    }

    // Answers the call with what answer(caller) gives, once the caller has been checked.
    _serve(invocation, answer) {
        this._caller(invocation).then(
            caller => Promise.resolve(caller).then(answer).then(reply => invocation.return_value(reply),
                error => invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed', String(error))),
            error => invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied', error.message));
    }

    _focus(caller) {
        const w = global.display.focus_window;
        return w ? [w.get_id(), w.get_pid() === caller.pid] : [0, false];
    }

    _tell() {
        for (const [name, caller] of this._callers) {
            if (caller.watching) {
                this._bus.emit_signal(name, KELVADO_PATH, 'org.kelvado.Paste', 'Focus',
                    new GLib.Variant('(tb)', this._focus(caller)));
            }
        }
    }

    // The caller, once the bus daemon's word on its process and that process's executable say
    // it is the installed program. Unique names are never reused, so the answer is kept for as
    // long as the name exists.
    _caller(invocation) {
        const name = invocation.get_sender();
        const known = this._callers.get(name);
        if (known)
            return Promise.resolve(known);
        return new Promise((resolve, reject) => {
            this._bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                'GetConnectionUnixProcessID', new GLib.Variant('(s)', [name]), new GLib.VariantType('(u)'),
                Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                    try {
                        const [pid] = bus.call_finish(result).deepUnpack();
                        // An upgrade replaces the file while the program still runs.
                        const exe = GLib.file_read_link(`/proc/${pid}/exe`).replace(/ \(deleted\)$/, '');
                        if (exe !== this._executable)
                            throw new Error(`${exe} is not ${this._executable}`);
                        if (!this._callers)
                            throw new Error('disabled');
                        const caller = {pid, watching: false};
                        caller.watch = Gio.bus_watch_name_on_connection(this._bus, name,
                            Gio.BusNameWatcherFlags.NONE, null, () => this._forget(name));
                        this._callers.set(name, caller);
                        resolve(caller);
                    } catch (e) {
                        reject(e);
                    }
                });
        });
    }

    // Told to the caller that grabbed it alone.
    _shortcut(action) {
        for (const [name, caller] of this._callers) {
            if (caller.shortcut === action)
                this._bus.emit_signal(name, KELVADO_PATH, 'org.kelvado.Paste', 'Shortcut', null);
        }
    }

    _ungrab(caller) {
        if (!caller.shortcut)
            return;
        Main.wm.allowKeybinding(Meta.external_binding_name_for_action(caller.shortcut), Shell.ActionMode.NONE);
        global.display.ungrab_accelerator(caller.shortcut);
        caller.shortcut = 0;
    }

    _forget(name) {
        const caller = this._callers?.get(name);
        if (!caller)
            return;
        Gio.bus_unwatch_name(caller.watch);
        this._ungrab(caller);
        this._callers.delete(name);
    }

    // True once the window has the focus, false when it has not after a short while or has gone.
    _bringBack(target) {
        if (global.display.focus_window === target)
            return Promise.resolve(true);
        return new Promise(resolve => {
            let focusHandler = 0, goneHandler = 0, timeout = 0;
            const finish = focused => {
                global.display.disconnect(focusHandler);
                target.disconnect(goneHandler);
                if (timeout)
                    GLib.source_remove(timeout);
                resolve(focused);
            };
            focusHandler = global.display.connect('notify::focus-window', () => {
                if (global.display.focus_window === target)
                    finish(true);
            });
            goneHandler = target.connect('unmanaged', () => finish(false));
            timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, KELVADO_ACTIVATION_MS, () => {
                timeout = 0;
                finish(false);
                return GLib.SOURCE_REMOVE;
            });
            Main.activateWindow(target);
        });
    }

    // True once the user has let go of Ctrl, Alt, Shift and Super (a shortcut's paste comes while
    // they are still down, and the target would see Ctrl+Alt+V), false when they are still down
    // after a while: then nothing is pressed and the date stays on the clipboard. The program
    // cannot see the keys when another program's window has the focus; the seat can. Caps Lock
    // and Num Lock do not count.
    _modifiersUp() {
        const held = Clutter.ModifierType.SHIFT_MASK | Clutter.ModifierType.CONTROL_MASK |
            Clutter.ModifierType.MOD1_MASK | Clutter.ModifierType.MOD4_MASK | Clutter.ModifierType.SUPER_MASK |
            Clutter.ModifierType.HYPER_MASK | Clutter.ModifierType.META_MASK;
        const up = () => (global.get_pointer()[2] & held) === 0;
        if (up())
            return Promise.resolve(true);
        return new Promise(resolve => {
            let waited = 0;
            GLib.timeout_add(GLib.PRIORITY_DEFAULT, KELVADO_MODIFIERS_POLL_MS, () => {
                waited += KELVADO_MODIFIERS_POLL_MS;
                if (!up() && waited < KELVADO_MODIFIERS_MS)
                    return GLib.SOURCE_CONTINUE;
                resolve(up());
                return GLib.SOURCE_REMOVE;
            });
        });
    }

    // By keysym, so that it is Ctrl+V whatever the keyboard layout. All four go out together.
    _pressCtrlV() {
        const time = GLib.get_monotonic_time();
        this._keyboard.notify_keyval(time, Clutter.KEY_Control_L, Clutter.KeyState.PRESSED);
        this._keyboard.notify_keyval(time, Clutter.KEY_v, Clutter.KeyState.PRESSED);
        this._keyboard.notify_keyval(time, Clutter.KEY_v, Clutter.KeyState.RELEASED);
        this._keyboard.notify_keyval(time, Clutter.KEY_Control_L, Clutter.KeyState.RELEASED);
    }
};
