"""Requests a hostile movie sends: replies that would contain themselves, handles it made up, and
XML with sections, comments and tags that never close.

Each case plays the application packed from project/ with a stand-in movie whose driving file
raises the requests in order, and compares the reply documents the movie got (`velmo play
--verbose` records each `SetReturnValue`). A request that does not parse, or names a target that is
not a live handle, is answered "<undefined/>" ("<false/>" for velmo_delete).
"""
from run_bad_input import case

UNDEFINED = "<undefined/>"


def invoke(name, *arguments):
    return f'<invoke name="{name}" returntype="xml"><arguments>{"".join(arguments)}</arguments></invoke>'


def number(text):
    return f"<number>{text}</number>"


def string(text):
    return f"<string>{text}</string>"


def unescape_record(text):
    """A recorded text as the movie got it: the stand-in writes `\\"` and `\\\\` in its records."""
    return text.replace('\\"', '"').replace("\\\\", "\\")


def exchange(c, requests, name="app.exe"):
    """Plays the base application raising `requests` in order; returns each one's reply text."""
    app = c.path(name)
    if not app.exists():
        c.write(name, c.base_app())
    lines = "".join("flashcall " + r.replace("\\", "\\\\").replace("\n", "\\n") + "\n" for r in requests)
    driver = c.write("movie.txt", lines)
    result = c.velmo("play", app, "--verbose", "--movie-driver", driver).status_is(0).out_has("[trace] initialized")
    replies = [None if text is None else unescape_record(text) for text in result.reply_texts()]
    c.check(len(replies) == len(requests), f"{len(requests)} requests got {len(replies)} replies:\n{result.out}")
    return replies + [None] * (len(requests) - len(replies))


@case("movie", "a reply that would contain itself is written with <null/> where the cycle closes")
def cyclic_replies(c):
    replies = exchange(c, [invoke("selfObject"), invoke("selfArray"), invoke("twoStepCycle"), invoke("deepCycle"),
                           invoke("sharedTwice")])
    self_object, self_array, two_step, deep, shared = replies
    for piece in ('<property id="self"><null/></property>', '<property id="name"><string>top</string></property>'):
        c.check(piece in (self_object or ""), f"selfObject: {piece} missing in {self_object!r}")
    c.check(self_object and self_object.startswith("<object>") and self_object.count("<object>") == 1,
            f"selfObject: {self_object!r}")
    c.check(self_array == '<array><property id="0"><number>1</number></property>'
                          '<property id="1"><null/></property></array>', f"selfArray: {self_array!r}")
    c.check(two_step == '<object><property id="b"><object><property id="a"><null/></property></object>'
                        '</property></object>', f"twoStepCycle: {two_step!r}")
    c.check(deep is not None and deep.count("<object>") == 5 and deep.count("<null/>") == 1,
            f"deepCycle: five objects and one <null/> expected: {deep!r}")
    # The same array twice, side by side, is no cycle: both are written in full.
    leaf = '<array><property id="0"><number>7</number></property></array>'
    c.check(shared is not None and shared.count(leaf) == 2, f"sharedTwice: {shared!r}")


@case("movie", "values nested 100,000 deep both ways are cut at the codec's depth, not at the native stack")
def deep_values(c):
    depth = 100_000
    closed_depth = 30_000  # closing every level doubles the text; this is deep enough
    deep_request = invoke("echo", '<array><property id="0">' * closed_depth + "<null/>" +
                          "</property></array>" * closed_depth)
    unclosed = invoke("echo", "<array><property id=\"0\">" * depth)
    replies = exchange(c, [invoke("deepNesting", number(c.sized(depth))), deep_request, unclosed])
    for reply in replies:
        c.check(reply is not None and reply.count("<object>") + reply.count("<array>") <= 513,
                f"a reply nested deeper than the codec allows: {(reply or '')[:200]!r}")


@case("movie", "forged handles name no target: calls, properties and handlers answer <undefined/>, deletes <false/>")
def forged_handles(c):
    targets = [number(n) for n in ("0", "1", "-1", "8", "12345678", "2147483647", "-2147483648", "4294967296",
                                   "1e300", "NaN", "0x10", "")]
    # Globals that hold no host object are no target either.
    targets += [string("echo"), string("Nothing"), string(""), "<null/>", "<true/>", "<object></object>",
                '<object><property id="Identifier"><number>12345678</number></property></object>']
    requests, expected = [], []
    for target in targets:
        for request in (invoke("velmo_call", target, string("toString")),
                        invoke("velmo_call2", target, string("toString"), "<array></array>"),
                        invoke("velmo_getprop", target, string("x")),
                        invoke("velmo_setprop", target, string("x"), number("1")),
                        invoke("velmo_seh", target, string("onEvent"), string("movieFunction"))):
            requests.append(request)
            expected.append(UNDEFINED)
        requests.append(invoke("velmo_delete", target))
        expected.append("<false/>")
    # An object that wraps a forged handle stays the object it is (new Object(o) gives o back).
    wrapped = '<object><property id="Identifier"><number>12345678</number></property></object>'
    requests += [invoke("velmo_new", string("Object"), wrapped), invoke("echo", wrapped)]
    expected += [wrapped, wrapped]
    replies = exchange(c, requests)
    for request, want, got in zip(requests, expected, replies):
        c.check(got == want, f"{request}\n      replied {got!r}, expected {want!r}")


@case("movie", "XML with an unclosed CDATA section, comment or opaque element is no request: <undefined/>")
def unclosed_sections(c):
    requests = [
        invoke("echo", "<string><![CDATA[never closed</string>"),
        invoke("echo", "<string>a</string><!-- never closed"),
        '<!DOCTYPE never closed <invoke name="echo"><arguments><string>a</string></arguments></invoke>',
        invoke("echo", "<PRE>never closed"),
        invoke("echo", "<Script>never closed"),
        invoke("echo", "<string>a</string><script>closed with the wrong case</script>"),
        invoke("echo", "<string>a &nbsp; b</string>"),
        invoke("echo", "<string>a > b</string>"),
        invoke("echo", "<string>a</string></>"),
        invoke("echo", "<string>a</string></nothing>"),
        "<",
        "<?",
    ]
    replies = exchange(c, requests)
    for request, got in zip(requests, replies):
        c.check(got == UNDEFINED, f"{request}\n      replied {got!r}, expected {UNDEFINED!r}")


@case("movie", "XML whose tags or end tags never close is read as far as it goes")
def unclosed_tags(c):
    start = '<invoke name="echo" returntype="xml"><arguments>'
    requests = [
        start + "<string>cut before its end tag",
        start + "<string>cut inside the end tag</str",
        start + '<string>a</string><number>1',
        start + "<str",
        start,
        '<invoke name="echo',
        '<invoke name="echo" returntype="xml"><arguments><string>x</string></arguments></invoke',
        "<a>" * 100_000,
        "<a " * 10_000,
    ]
    replies = exchange(c, requests)
    # An end tag must close with ">": "</invoke" at the end is an error, not a missing end tag.
    want = [string("cut before its end tag"), None, string("a"), UNDEFINED, UNDEFINED, UNDEFINED, UNDEFINED,
            UNDEFINED, UNDEFINED]
    for request, expected, got in zip(requests, want, replies):
        if expected is not None:
            c.check(got == expected, f"{request[:120]}\n      replied {got!r}, expected {expected!r}")
        else:
            c.check(got is not None, f"{request[:120]}\n      got no reply")
