// The GL tape (pairs with gl_tape.h). The executable exports these entry points, so both the core's calls
// and GLU's own calls (gluLookAt's matrix) land here first; each forwards to the next definition, Mesa's.
#include "tools/bench/gl_tape.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/gl.h"
#include "tools/bench/alloc_counter.h"

// Every entry point the core and GLU's gluLookAt use in a frame, and the ones they use outside it.
#define TAPED_FUNCTIONS(X)                                                                                  \
    X(glBegin) X(glEnd) X(glVertex2f) X(glVertex3f) X(glTexCoord2f) X(glColor4f) X(glNormal3f)             \
    X(glPushMatrix) X(glPopMatrix) X(glLoadIdentity) X(glMatrixMode) X(glTranslatef) X(glTranslated)       \
    X(glRotatef) X(glScalef) X(glMultMatrixf) X(glMultMatrixd) X(glOrtho) X(glViewport) X(glScissor)       \
    X(glClipPlane) X(glEnable) X(glDisable) X(glBlendFunc) X(glTexEnvf) X(glBindTexture) X(glFrontFace)     \
    X(glClear) X(glDrawBuffer) X(glCopyTexImage2D) X(glFlush)
#define UNTAPED_FUNCTIONS(X)                                                                                \
    X(glClearColor) X(glClearDepth) X(glDeleteTextures) X(glDepthFunc) X(glGenTextures) X(glGetIntegerv)   \
    X(glGetString) X(glHint) X(glPixelStorei) X(glTexImage2D) X(glTexParameterf) X(glTexParameteri)        \
    X(glLoadMatrixf) X(glLoadMatrixd) X(glRotated) X(glScaled) X(glReadPixels) X(glFinish)

namespace {

enum Op : uint32_t {
#define OP(name) op_##name,
    TAPED_FUNCTIONS(OP)
#undef OP
};

struct Real {
#define POINTER(name) decltype(&::name) name;
    TAPED_FUNCTIONS(POINTER) UNTAPED_FUNCTIONS(POINTER)
#undef POINTER
} real;

bool resolveReal() {
#define RESOLVE(name)                                                                                       \
    real.name = reinterpret_cast<decltype(&::name)>(dlsym(RTLD_NEXT, #name));                               \
    if (!real.name) {                                                                                       \
        std::fprintf(stderr, "quillon-bench: no OpenGL entry point %s behind the tape\n", #name);          \
        std::abort();                                                                                       \
    }
    TAPED_FUNCTIONS(RESOLVE) UNTAPED_FUNCTIONS(RESOLVE)
#undef RESOLVE
    return true;
}
const bool realResolved = resolveReal();

// Off, the entry points only hand on; the other modes take the slow path.
enum class Mode { off, recording, auditing };
Mode tapeMode = Mode::off;
std::vector<gltape::Call> raw;
std::vector<unsigned char> rawPool;
std::string untaped;

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void keep(Op op, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0) {
    gltape::Call call{};
    call.op = op;
    call.u[0] = a, call.u[1] = b, call.u[2] = c, call.u[3] = d;
    raw.push_back(call);
}
void keepF(Op op, float a, float b = 0, float c = 0, float d = 0) { keep(op, bits(a), bits(b), bits(c), bits(d)); }

// Long arguments go to the pool, 8-byte aligned; the inline words may still carry an enum.
void keepPooled(Op op, const void* data, size_t bytes, uint32_t a = 0) {
    keep(op, a);
    raw.back().pooled = uint32_t(rawPool.size());
    const size_t padded = (bytes + 7) & ~size_t(7);
    rawPool.resize(rawPool.size() + padded, 0);
    std::memcpy(rawPool.data() + raw.back().pooled, data, bytes);
}

size_t pooledBytes(uint32_t op) {
    switch (op) {
    case op_glTranslated: return 3 * sizeof(double);
    case op_glMultMatrixf: return 16 * sizeof(float);
    case op_glMultMatrixd: return 16 * sizeof(double);
    case op_glOrtho: return 6 * sizeof(double);
    case op_glClipPlane: return 4 * sizeof(double);
    case op_glCopyTexImage2D: return 8 * sizeof(int32_t);
    default: return 0;
    }
}

void untapedCall(const char* name) {
    if (untaped.empty()) untaped = name;
}

template <class T>
const T* pooled(const gltape::Tape& tape, const gltape::Call& call) {
    return reinterpret_cast<const T*>(tape.pool.data() + call.pooled);
}

}  // namespace

// The entry points. Off, each hands its call on and nothing else; recording, it keeps the call first;
// auditing, it marks the time inside Mesa, so that Mesa's allocations are told from ours.
#define FORWARD(keepCall, realCall)                                                                         \
    if (__builtin_expect(tapeMode != Mode::off, 0)) {                                                           \
        if (tapeMode == Mode::recording) keepCall;                                                              \
        const alloc_counter::InsideLibrary inside;                                                          \
        realCall;                                                                                           \
        return;                                                                                             \
    }                                                                                                       \
    realCall

extern "C" {
void glBegin(GLenum mode) {
    FORWARD((keep(op_glBegin, mode)), (real.glBegin(mode)));
}
void glEnd() {
    FORWARD((keep(op_glEnd)), (real.glEnd()));
}
void glVertex2f(GLfloat x, GLfloat y) {
    FORWARD((keepF(op_glVertex2f, x, y)), (real.glVertex2f(x, y)));
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    FORWARD((keepF(op_glVertex3f, x, y, z)), (real.glVertex3f(x, y, z)));
}
void glTexCoord2f(GLfloat s, GLfloat t) {
    FORWARD((keepF(op_glTexCoord2f, s, t)), (real.glTexCoord2f(s, t)));
}
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    FORWARD((keepF(op_glColor4f, r, g, b, a)), (real.glColor4f(r, g, b, a)));
}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    FORWARD((keepF(op_glNormal3f, x, y, z)), (real.glNormal3f(x, y, z)));
}
void glPushMatrix() {
    FORWARD((keep(op_glPushMatrix)), (real.glPushMatrix()));
}
void glPopMatrix() {
    FORWARD((keep(op_glPopMatrix)), (real.glPopMatrix()));
}
void glLoadIdentity() {
    FORWARD((keep(op_glLoadIdentity)), (real.glLoadIdentity()));
}
void glMatrixMode(GLenum mode) {
    FORWARD((keep(op_glMatrixMode, mode)), (real.glMatrixMode(mode)));
}
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    FORWARD((keepF(op_glTranslatef, x, y, z)), (real.glTranslatef(x, y, z)));
}
void glTranslated(GLdouble x, GLdouble y, GLdouble z) {
    const GLdouble v[3] = {x, y, z};
    FORWARD((keepPooled(op_glTranslated, v, sizeof v)), (real.glTranslated(x, y, z)));
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    FORWARD((keepF(op_glRotatef, angle, x, y, z)), (real.glRotatef(angle, x, y, z)));
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    FORWARD((keepF(op_glScalef, x, y, z)), (real.glScalef(x, y, z)));
}
void glMultMatrixf(const GLfloat* m) {
    FORWARD((keepPooled(op_glMultMatrixf, m, 16 * sizeof *m)), (real.glMultMatrixf(m)));
}
void glMultMatrixd(const GLdouble* m) {
    FORWARD((keepPooled(op_glMultMatrixd, m, 16 * sizeof *m)), (real.glMultMatrixd(m)));
}
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    const GLdouble v[6] = {l, r, b, t, n, f};
    FORWARD((keepPooled(op_glOrtho, v, sizeof v)), (real.glOrtho(l, r, b, t, n, f)));
}
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    FORWARD((keep(op_glViewport, uint32_t(x), uint32_t(y), uint32_t(w), uint32_t(h))), (real.glViewport(x, y, w, h)));
}
void glScissor(GLint x, GLint y, GLsizei w, GLsizei h) {
    FORWARD((keep(op_glScissor, uint32_t(x), uint32_t(y), uint32_t(w), uint32_t(h))), (real.glScissor(x, y, w, h)));
}
void glClipPlane(GLenum plane, const GLdouble* equation) {
    FORWARD((keepPooled(op_glClipPlane, equation, 4 * sizeof *equation, plane)), (real.glClipPlane(plane, equation)));
}
void glEnable(GLenum cap) {
    FORWARD((keep(op_glEnable, cap)), (real.glEnable(cap)));
}
void glDisable(GLenum cap) {
    FORWARD((keep(op_glDisable, cap)), (real.glDisable(cap)));
}
void glBlendFunc(GLenum s, GLenum d) {
    FORWARD((keep(op_glBlendFunc, s, d)), (real.glBlendFunc(s, d)));
}
void glTexEnvf(GLenum target, GLenum name, GLfloat value) {
    FORWARD((keep(op_glTexEnvf, target, name, bits(value))), (real.glTexEnvf(target, name, value)));
}
void glBindTexture(GLenum target, GLuint texture) {
    FORWARD((keep(op_glBindTexture, target, texture)), (real.glBindTexture(target, texture)));
}
void glFrontFace(GLenum mode) {
    FORWARD((keep(op_glFrontFace, mode)), (real.glFrontFace(mode)));
}
void glClear(GLbitfield mask) {
    FORWARD((keep(op_glClear, mask)), (real.glClear(mask)));
}
void glDrawBuffer(GLenum mode) {
    FORWARD((keep(op_glDrawBuffer, mode)), (real.glDrawBuffer(mode)));
}
void glCopyTexImage2D(GLenum target, GLint level, GLenum format, GLint x, GLint y, GLsizei w, GLsizei h,
                      GLint border) {
    const int32_t v[8] = {int32_t(target), level, int32_t(format), x, y, w, h, border};
    FORWARD((keepPooled(op_glCopyTexImage2D, v, sizeof v)),
            (real.glCopyTexImage2D(target, level, format, x, y, w, h, border)));
}
void glFlush() {
    FORWARD((keep(op_glFlush)), (real.glFlush()));
}
// Entry points a frame never uses: handed on, and a frame that calls one cannot be taped.
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    FORWARD((untapedCall("glClearColor")), (real.glClearColor(r, g, b, a)));
}
void glClearDepth(GLclampd depth) {
    FORWARD((untapedCall("glClearDepth")), (real.glClearDepth(depth)));
}
void glDeleteTextures(GLsizei n, const GLuint* textures) {
    FORWARD((untapedCall("glDeleteTextures")), (real.glDeleteTextures(n, textures)));
}
void glDepthFunc(GLenum func) {
    FORWARD((untapedCall("glDepthFunc")), (real.glDepthFunc(func)));
}
void glGenTextures(GLsizei n, GLuint* textures) {
    FORWARD((untapedCall("glGenTextures")), (real.glGenTextures(n, textures)));
}
void glGetIntegerv(GLenum name, GLint* values) {
    FORWARD((untapedCall("glGetIntegerv")), (real.glGetIntegerv(name, values)));
}
const GLubyte* glGetString(GLenum name) {
    if (tapeMode == Mode::recording) untapedCall("glGetString");
    const alloc_counter::InsideLibrary inside;
    return real.glGetString(name);
}
void glHint(GLenum target, GLenum mode) {
    FORWARD((untapedCall("glHint")), (real.glHint(target, mode)));
}
void glPixelStorei(GLenum name, GLint value) {
    FORWARD((untapedCall("glPixelStorei")), (real.glPixelStorei(name, value)));
}
void glTexImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format,
                  GLenum type, const GLvoid* pixels) {
    FORWARD((untapedCall("glTexImage2D")),
            (real.glTexImage2D(target, level, internal, w, h, border, format, type, pixels)));
}
void glTexParameterf(GLenum target, GLenum name, GLfloat value) {
    FORWARD((untapedCall("glTexParameterf")), (real.glTexParameterf(target, name, value)));
}
void glTexParameteri(GLenum target, GLenum name, GLint value) {
    FORWARD((untapedCall("glTexParameteri")), (real.glTexParameteri(target, name, value)));
}
void glLoadMatrixf(const GLfloat* m) {
    FORWARD((untapedCall("glLoadMatrixf")), (real.glLoadMatrixf(m)));
}
void glLoadMatrixd(const GLdouble* m) {
    FORWARD((untapedCall("glLoadMatrixd")), (real.glLoadMatrixd(m)));
}
void glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    FORWARD((untapedCall("glRotated")), (real.glRotated(angle, x, y, z)));
}
void glScaled(GLdouble x, GLdouble y, GLdouble z) {
    FORWARD((untapedCall("glScaled")), (real.glScaled(x, y, z)));
}
void glReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, GLvoid* pixels) {
    FORWARD((untapedCall("glReadPixels")), (real.glReadPixels(x, y, w, h, format, type, pixels)));
}
void glFinish() {
    FORWARD((untapedCall("glFinish")), (real.glFinish()));
}
}  // extern "C"

namespace gltape {

void start() {
    raw.clear();
    rawPool.clear();
    untaped.clear();
    tapeMode = realResolved ? Mode::recording : Mode::off;
}

void audit(bool on) { tapeMode = on ? Mode::auditing : Mode::off; }

bool stop(Tape& tape, std::string& why) {
    tapeMode = Mode::off;
    tape = Tape{};
    if (!untaped.empty()) {
        why = "the frame called " + untaped + ", which the tape does not replay";
        return false;
    }
    // Identical calls (the same quad corner in every copy) are stored once.
    std::unordered_map<std::string, uint16_t> index;
    for (const Call& call : raw) {
        const size_t extra = pooledBytes(call.op);
        std::string key(reinterpret_cast<const char*>(&call), sizeof call);
        key.replace(offsetof(Call, pooled), sizeof call.pooled, sizeof call.pooled, '\0');
        key.append(reinterpret_cast<const char*>(rawPool.data() + (extra ? call.pooled : 0)), extra);
        auto found = index.find(key);
        if (found == index.end()) {
            if (tape.calls.size() > 0xFFFF) {
                why = "more than 65536 distinct calls in one frame";
                return false;
            }
            Call stored = call;
            if (extra) {
                stored.pooled = uint32_t(tape.pool.size());
                tape.pool.resize(tape.pool.size() + ((extra + 7) & ~size_t(7)), 0);
                std::memcpy(tape.pool.data() + stored.pooled, rawPool.data() + call.pooled, extra);
            }
            found = index.emplace(key, uint16_t(tape.calls.size())).first;
            tape.calls.push_back(stored);
        }
        tape.order.push_back(found->second);
    }
    raw.clear();
    rawPool.clear();
    return true;
}

// One case per taped entry point; G names the function called (the entry point or Mesa's own).
#define REPLAY_CASES(G)                                                                                     \
    case op_glBegin: G(glBegin)(c.u[0]); break;                                                            \
    case op_glEnd: G(glEnd)(); break;                                                                      \
    case op_glVertex2f: G(glVertex2f)(c.f[0], c.f[1]); break;                                             \
    case op_glVertex3f: G(glVertex3f)(c.f[0], c.f[1], c.f[2]); break;                                     \
    case op_glTexCoord2f: G(glTexCoord2f)(c.f[0], c.f[1]); break;                                         \
    case op_glColor4f: G(glColor4f)(c.f[0], c.f[1], c.f[2], c.f[3]); break;                               \
    case op_glNormal3f: G(glNormal3f)(c.f[0], c.f[1], c.f[2]); break;                                     \
    case op_glPushMatrix: G(glPushMatrix)(); break;                                                        \
    case op_glPopMatrix: G(glPopMatrix)(); break;                                                          \
    case op_glLoadIdentity: G(glLoadIdentity)(); break;                                                    \
    case op_glMatrixMode: G(glMatrixMode)(c.u[0]); break;                                                  \
    case op_glTranslatef: G(glTranslatef)(c.f[0], c.f[1], c.f[2]); break;                                 \
    case op_glTranslated: {                                                                                \
        const double* v = pooled<double>(tape, c);                                                         \
        G(glTranslated)(v[0], v[1], v[2]);                                                                 \
        break;                                                                                             \
    }                                                                                                      \
    case op_glRotatef: G(glRotatef)(c.f[0], c.f[1], c.f[2], c.f[3]); break;                               \
    case op_glScalef: G(glScalef)(c.f[0], c.f[1], c.f[2]); break;                                         \
    case op_glMultMatrixf: G(glMultMatrixf)(pooled<float>(tape, c)); break;                               \
    case op_glMultMatrixd: G(glMultMatrixd)(pooled<double>(tape, c)); break;                              \
    case op_glOrtho: {                                                                                     \
        const double* v = pooled<double>(tape, c);                                                         \
        G(glOrtho)(v[0], v[1], v[2], v[3], v[4], v[5]);                                                   \
        break;                                                                                             \
    }                                                                                                      \
    case op_glViewport: G(glViewport)(GLint(c.u[0]), GLint(c.u[1]), GLsizei(c.u[2]), GLsizei(c.u[3])); break; \
    case op_glScissor: G(glScissor)(GLint(c.u[0]), GLint(c.u[1]), GLsizei(c.u[2]), GLsizei(c.u[3])); break; \
    case op_glClipPlane: G(glClipPlane)(c.u[0], pooled<double>(tape, c)); break;                          \
    case op_glEnable: G(glEnable)(c.u[0]); break;                                                          \
    case op_glDisable: G(glDisable)(c.u[0]); break;                                                        \
    case op_glBlendFunc: G(glBlendFunc)(c.u[0], c.u[1]); break;                                            \
    case op_glTexEnvf: G(glTexEnvf)(c.u[0], c.u[1], c.f[2]); break;                                        \
    case op_glBindTexture: G(glBindTexture)(c.u[0], c.u[1]); break;                                        \
    case op_glFrontFace: G(glFrontFace)(c.u[0]); break;                                                    \
    case op_glClear: G(glClear)(c.u[0]); break;                                                            \
    case op_glDrawBuffer: G(glDrawBuffer)(c.u[0]); break;                                                  \
    case op_glCopyTexImage2D: {                                                                            \
        const int32_t* v = pooled<int32_t>(tape, c);                                                       \
        G(glCopyTexImage2D)(GLenum(v[0]), v[1], GLenum(v[2]), v[3], v[4], v[5], v[6], v[7]);              \
        break;                                                                                             \
    }                                                                                                      \
    case op_glFlush: G(glFlush)(); break;

#define VIA_ENTRY(name) ::name
#define VIA_MESA(name) real.name

void replay(const Tape& tape) {
    const Call* calls = tape.calls.data();
    for (const uint16_t i : tape.order) {
        const Call& c = calls[i];
        switch (c.op) { REPLAY_CASES(VIA_ENTRY) }
    }
}

void replayDirect(const Tape& tape) {
    const Call* calls = tape.calls.data();
    for (const uint16_t i : tape.order) {
        const Call& c = calls[i];
        switch (c.op) { REPLAY_CASES(VIA_MESA) }
    }
}

}  // namespace gltape
