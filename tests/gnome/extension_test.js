// The shell extension outside the shell, in both module styles: each loads (the ES module one
// through `gjs -m`'s own loader), serves its object under the shell's name on a private session
// bus, and answers a caller only when the caller's executable is the program it was installed
// with; a shortcut is grabbed only for such a caller that watches, told to it alone, and let go
// when it leaves. What only the shell provides is stubbed: `global` with no windows and a
// display that records the grabs, Main, and the seat.
//   gjs -m extension_test.js BUILD/desktop/gnome-shell     (under dbus-run-session)
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Shell from 'gi://Shell';
import System from 'system';

const [built] = ARGV;
const stubs = GLib.dir_make_tmp('kelvado-extension-test-XXXXXX');
const write = (path, text) => GLib.file_set_contents(`${stubs}/${path}`, text);

// What the shell was asked: grabs and ungrabs of accelerators, and the modes they work in.
const asked = [];
const handlers = new Map();
let lastAction = 100;
globalThis.global = {
    display: {
        focus_window: null,
        get_tab_list: () => [],
        connect: (signal, handler) => {
            handlers.set(signal, handler);
            return 1;
        },
        disconnect: () => {},
        // The shell's own bindings are not to be had.
        grab_accelerator: accelerator => {
            asked.push(`grab ${accelerator}`);
            return accelerator === '<Alt>F2' ? 0 : ++lastAction;
        },
        ungrab_accelerator: action => asked.push(`ungrab ${action}`),
    },
};
const wm = {allowKeybinding: (name, modes) => asked.push(`allow ${name} ${modes}`)};
Clutter.get_default_backend = () => ({
    get_default_seat: () => ({create_virtual_device: () => ({})}),
});

// The module styles, each giving the class the shell would construct.
async function legacy() {
    GLib.mkdir_with_parents(`${stubs}/ui`, 0o755);
    write('ui/main.js', 'function activateWindow() {}\nvar wm = globalThis.kelvadoTestWm;\n');
    imports.searchPath.unshift(stubs, `${built}/43`);
    return imports.extension.init({metadata: {}}).constructor;
}

async function esModule() {
    write('main.js', 'export function activateWindow() {}\nexport const wm = globalThis.kelvadoTestWm;\n');
    const [, bytes] = GLib.file_get_contents(`${built}/45/extension.js`);
    write('extension.js', new TextDecoder().decode(bytes)
        .replace('resource:///org/gnome/shell/ui/main.js', `file://${stubs}/main.js`));
    return (await import(`file://${stubs}/extension.js`)).default;
}

// Calls a method as another program does; resolves to its reply or error text.
function call(method, ...args) {
    return new Promise(resolve => {
        const gdbus = Gio.Subprocess.new(['gdbus', 'call', '--session', '--timeout', '5', '--dest', 'org.gnome.Shell',
            '--object-path', '/org/kelvado/Paste', '--method', `org.kelvado.Paste.${method}`, ...args],
        Gio.SubprocessFlags.STDOUT_PIPE | Gio.SubprocessFlags.STDERR_MERGE);
        gdbus.communicate_utf8_async(null, null, (p, result) => resolve(p.communicate_utf8_finish(result)[1].trim()));
    });
}

// The caller's executable as /proc names it, links resolved.
const [, realpath] = GLib.spawn_sync(null, ['realpath', GLib.find_program_in_path('gdbus')], null,
    GLib.SpawnFlags.SEARCH_PATH, null);
const caller = new TextDecoder().decode(realpath).trim();
const cases = [
    // [installed program, method and arguments, what the caller gets]
    ['/opt/kelvado/bin/kelvado', ['Watch'], /AccessDenied/],
    ['/opt/kelvado/bin/kelvado', ['Paste', '1'], /AccessDenied/],
    ['/opt/kelvado/bin/kelvado', ['GrabShortcut', '<Control><Alt>d'], /AccessDenied/],
    // No such window: nothing to paste into, but an answer.
    [caller, ['Paste', '1'], /^\(false,\)$/],
    // Nor a shortcut for a caller that does not watch.
    [caller, ['GrabShortcut', '<Control><Alt>d'], /^\(false,\)$/],
];

// Calls on a connection of this process's own, which the extension takes for the installed
// program when it is told that gjs is.
function callOn(bus, method, args) {
    return new Promise((resolve, reject) => bus.call('org.gnome.Shell', '/org/kelvado/Paste', 'org.kelvado.Paste',
        method, args, null, Gio.DBusCallFlags.NONE, 5000, null, (b, result) => {
            try {
                resolve(b.call_finish(result).deepUnpack());
            } catch (e) {
                reject(e);
            }
        }));
}

const until = (what, condition) => new Promise((resolve, reject) => {
    let left = 500;
    GLib.timeout_add(GLib.PRIORITY_DEFAULT, 10, () => {
        if (condition())
            resolve();
        else if (--left === 0)
            reject(new Error(`never: ${what}`));
        else
            return GLib.SOURCE_CONTINUE;
        return GLib.SOURCE_REMOVE;
    });
});

// The installed program watches and grabs; its shortcut is told to it, and let go when it leaves.
async function shortcutLife(Extension, style) {
    const extension = new Extension({'kelvado-executable': GLib.file_read_link('/proc/self/exe')});
    extension.enable();
    const bus = Gio.DBusConnection.new_for_address_sync(
        Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, null),
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, null, null);
    let told = 0;
    bus.signal_subscribe('org.gnome.Shell', 'org.kelvado.Paste', 'Shortcut', '/org/kelvado/Paste', null,
        Gio.DBusSignalFlags.NONE, () => told++);
    asked.length = 0;
    await callOn(bus, 'Watch', null);
    const [taken] = await callOn(bus, 'GrabShortcut', new GLib.Variant('(s)', ['<Alt>F2']));
    const [granted] = await callOn(bus, 'GrabShortcut', new GLib.Variant('(s)', ['<Control><Alt>d']));
    const action = lastAction;
    check(!taken && granted, `${style}: a binding the shell has is refused, a free one granted: ${taken}, ${granted}`);
    handlers.get('accelerator-activated')(global.display, action + 1000);
    handlers.get('accelerator-activated')(global.display, action);
    // Signals come before the answer to a call made after them.
    await callOn(bus, 'Watch', null);
    check(told === 1, `${style}: the shortcut's press is told once, and another grab's not at all: ${told}`);
    bus.close_sync(null);
    await until('the ungrab', () => asked.includes(`ungrab ${action}`));
    const name = `external-grab-${action}`;
    check(asked.join('; ') === ['grab <Alt>F2', 'grab <Control><Alt>d', `allow ${name} ${Shell.ActionMode.NORMAL}`,
        `allow ${name} ${Shell.ActionMode.NONE}`, `ungrab ${action}`].join('; '),
    `${style}: grabbed over ordinary windows only, let go when the program left: ${asked.join('; ')}`);
    extension.disable();
}

globalThis.kelvadoTestWm = wm;

let failures = 0;
const check = (ok, what) => {
    print(`${ok ? 'ok' : 'FAIL'}: ${what}`);
    failures += ok ? 0 : 1;
};

async function main() {
    const owned = new Promise(resolve => Gio.bus_own_name_on_connection(Gio.DBus.session, 'org.gnome.Shell',
        Gio.BusNameOwnerFlags.NONE, resolve, null));
    await owned;
    for (const [style, load] of [['imports (43–44)', legacy], ['ES module (45+)', esModule]]) {
        const Extension = await load();
        for (const [installed, [method, ...args], expected] of cases) {
            const extension = new Extension({'kelvado-executable': installed});
            extension.enable();
            const reply = await call(method, ...args);
            extension.disable();
            check(expected.test(reply), `${style}: ${method} from ${caller} with ${installed} installed: ${reply}`);
        }
        await shortcutLife(Extension, style);
    }
}

const loop = new GLib.MainLoop(null, false);
main().catch(e => {
    print(`FAIL: ${e}\n${e.stack}`);
    failures++;
}).finally(() => loop.quit());
loop.run();
GLib.spawn_command_line_sync(`rm -r ${stubs}`);
System.exit(failures ? 1 : 0);
