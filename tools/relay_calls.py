# relay_calls.py [--per-frame] LOG -- the calls quorvex.exe's main thread made, from a Wine relay log
#
# Prints one call a line as Name(arg,...): a quoted text argument as its text, the
# window, device context, rendering context and module by those names, any other
# argument as its low eight hex digits (the log shows whole registers, and a 32-bit
# argument may come with stale upper bits). The message pump, presentation, sleep,
# title and default handling repeat every frame: they are left out, or with
# --per-frame they are all that is printed.
import re
import sys

per_frame_only = sys.argv[1] == '--per-frame'
log = sys.argv[-1]

per_frame = {'PeekMessageA', 'TranslateMessage', 'DispatchMessageA', 'SwapBuffers', 'Sleep',
             'SetWindowTextA', 'DefWindowProcA'}
call = re.compile(r'^([0-9a-f]+):Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]+)$')
ret = re.compile(r'^([0-9a-f]+):Ret  (\w+)\.(\w+)\(\) retval=([0-9a-f]+) ret=([0-9a-f]+)$')
argument = re.compile(r'([0-9a-f]+)(?: "((?:[^"\\]|\\.)*)")?(?:,|$)')
named_results = {'CreateWindowExA': 'window', 'GetDC': 'dc', 'wglCreateContext': 'rc',
                 'GetModuleHandleA': 'module'}

lines = open(log, errors='replace').read().splitlines()

# The program's main thread is the one that creates the window of class "OpenGL",
# and its calls are those that return into the program's image (within 16 MiB of
# that call): other processes of the same Wine session log into the same stream,
# and the system's own libraries call each other on the same thread.
thread = image = None
for line in lines:
    match = call.match(line)
    if match and match.group(3) == 'CreateWindowExA' and '"OpenGL"' in match.group(4):
        thread, image = match.group(1), int(match.group(5), 16) >> 24
        break
if thread is None:
    sys.exit('no window of class OpenGL was created')

names = {}
calls = []
for line in lines:
    match = ret.match(line)
    if match and match.group(1) == thread and match.group(3) in named_results:
        if int(match.group(4), 16) != 0:
            names.setdefault(match.group(4)[-8:], named_results[match.group(3)])
        continue
    match = call.match(line)
    if not match or match.group(1) != thread or int(match.group(5), 16) >> 24 != image:
        continue
    name = match.group(3)
    args = []
    for value, text in argument.findall(match.group(4)):
        if text:
            args.append('"%s"' % text)
        else:
            args.append(names.get(value[-8:], value[-8:]))
    # A PeekMessageA for one kind of message only is no part of the pump.
    repeats = name in per_frame and not (name == 'PeekMessageA' and args[2:4] != ['00000000'] * 2)
    if repeats == per_frame_only:
        calls.append('%s(%s)' % (name, ','.join(args)))
print('\n'.join(calls))
