// The shell extension outside the shell, in both module styles: each loads (the ES module one
// through `gjs -m`'s own loader), serves its object under the shell's name on a private session
// bus, and answers a caller only when the caller's executable is the program it was installed
// with. What only the shell provides is stubbed: `global` with no windows, and Main.
//   gjs -m extension_test.js BUILD/desktop/gnome-shell     (under dbus-run-session)
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const [built] = ARGV;
const stubs = GLib.dir_make_tmp('kelvado-extension-test-XXXXXX');
const write = (path, text) => GLib.file_set_contents(`${stubs}/${path}`, text);

globalThis.global = {
    display: {
        focus_window: null,
        get_tab_list: () => [],
        connect: () => 1,
        disconnect: () => {},
    },
};

// The module styles, each giving the class the shell would construct.
async function legacy() {
    GLib.mkdir_with_parents(`${stubs}/ui`, 0o755);
    write('ui/main.js', 'function activateWindow() {}\n');
    imports.searchPath.unshift(stubs, `${built}/43`);
    return imports.extension.init({metadata: {}}).constructor;
}

async function esModule() {
    write('main.js', 'export function activateWindow() {}\n');
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
    // No such window: nothing to paste into, but an answer.
    [caller, ['Paste', '1'], /^\(false,\)$/],
];

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
