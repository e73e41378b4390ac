// typed_host: hosts the natives of i2cdln.NativeSession without a JVM. It loads the library
// named on its command line (i2cdln.dll on Windows, libi2cdln.so on Linux), opens a session
// against a running DLN server and calls every native once or more in the order a robot program
// would, through a fake JNIEnv, printing each result code, the session's failure text and the
// values handed back, so that two builds' outputs can be compared line for line.
//
//   typed_host LIBRARY     (DLN_SERVER names the server, as for every program using our dln)
//
// Exits 0 when every native was found, 1 otherwise. What the calls did is the output's
// business: this program judges nothing.
#include "support/fake_jni.h"
#include "windows/loaded_library.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

class TypedHost {
  public:
    explicit TypedHost(const Library &library) : library_(library) {}

    template <class Function> Function find(const char *name) {
        void *native = library_.find(std::string("Java_i2cdln_NativeSession_") + name);
        if (native == nullptr) {
            std::fprintf(stderr, "typed_host: the library does not export %s\n", name);
            ++missing_;
        }
        return reinterpret_cast<Function>(native);
    }

    // Prints "name: code" and the session's failure, then the values, taken after the call.
    void show(
        const char *name, jint code,
        const std::function<std::vector<jint>()> &values = [] { return std::vector<jint>(); }) {
        std::printf("%s: %d", name, static_cast<int>(code));
        if (failure_ != nullptr && session_ != 0) {
            const std::string text = FakeJni::text(failure_(jni.env(), nullptr, session_));
            if (!text.empty())
                std::printf(" (%s)", text.c_str());
        }
        for (jint value : values())
            std::printf(" %d", static_cast<int>(value));
        std::printf("\n");
        std::fflush(stdout);
    }

    std::vector<jint> bytes(jbyteArray array) {
        std::vector<jint> values;
        for (jbyte byte : jni.values(array))
            values.push_back(static_cast<uint8_t>(byte));
        return values;
    }

    void run();
    int missing() const { return missing_; }

    FakeJni jni;

  private:
    const Library &library_;
    jstring(JNICALL *failure_)(JNIEnv *, jclass, jlong) = nullptr;
    jlong session_ = 0;
    int missing_ = 0;
};

void TypedHost::run() {
    using OpenFn = jlong(JNICALL *)(JNIEnv *, jclass, jstring, jint, jintArray);
    using CloseFn = void(JNICALL *)(JNIEnv *, jclass, jlong);
    using ArrayFn = jint(JNICALL *)(JNIEnv *, jclass, jlong, jintArray);
    using AddressArrayFn = jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jintArray);
    using AddressValueArrayFn = jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jint, jintArray);
    using TransferFn = jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jbyteArray, jint);
    using SessionFn = jint(JNICALL *)(JNIEnv *, jclass, jlong);
    using LineFn = jint(JNICALL *)(JNIEnv *, jclass, jlong, jint);
    using RangeFn = jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jint, jbyteArray, jint);

    auto open = find<OpenFn>("open");
    auto close = find<CloseFn>("close");
    failure_ = find<decltype(failure_)>("failure");
    auto version = find<ArrayFn>("version");
    auto scan = find<jint(JNICALL *)(JNIEnv *, jclass, jlong, jintArray, jintArray)>("scan");
    auto write = find<TransferFn>("i2cWrite");
    auto read = find<TransferFn>("i2cRead");
    auto spi = find<jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jint, jint, jbyteArray, jint)>(
        "spiTransfer");
    auto pulse =
        find<jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jint, jint, jintArray)>("servoPulse");
    auto current = find<AddressArrayFn>("servoCurrent");
    auto adc = find<AddressValueArrayFn>("adcDac");
    auto ultrasonic = find<AddressArrayFn>("ultrasonic");
    auto motor = find<AddressValueArrayFn>("motorSpeed");
    auto sequence =
        find<jint(JNICALL *)(JNIEnv *, jclass, jlong, jint, jintArray, jintArray, jintArray, jint)>(
            "servoSequence");
    auto identify = find<AddressArrayFn>("eepromIdentify");
    auto erase = find<LineFn>("eepromErase");
    auto program = find<RangeFn>("eepromProgram");
    auto readBack = find<RangeFn>("eepromRead");
    auto laserConnect = find<SessionFn>("laserConnect");
    auto laserCalibrate = find<SessionFn>("laserCalibrate");
    auto laserMeasure = find<ArrayFn>("laserMeasure");
    if (missing_ != 0)
        return;

    JNIEnv *env = jni.env();
    jintArray result = jni.array({-1});
    session_ = open(env, nullptr, jni.string("localhost"), 9656, result);
    show("open", jni.values(result)[0]);
    if (session_ == 0)
        return;
    jintArray five = jni.array({0, 0, 0, 0, 0});
    show("version", version(env, nullptr, session_, five), [&] { return jni.values(five); });
    jintArray list = jni.array(std::vector<jint>(128)), count = jni.array({0});
    const jint scanned = scan(env, nullptr, session_, list, count);
    show("scan", scanned, [&] {
        const std::vector<jint> &all = jni.values(list);
        return std::vector<jint>(all.begin(), all.begin() + jni.values(count)[0]);
    });

    jbyteArray out = jni.bytes({0x10, static_cast<jbyte>(0xCA), static_cast<jbyte>(0xFE)});
    show("i2cWrite", write(env, nullptr, session_, 0x50, out, 3));
    show("i2cWrite", write(env, nullptr, session_, 0x50, out, 1));
    jbyteArray in = jni.bytes({0, 0});
    show("i2cRead", read(env, nullptr, session_, 0x50, in, 2), [&] { return bytes(in); });
    show("i2cRead at a free address", read(env, nullptr, session_, 0x11, in, 2),
         [&] { return bytes(in); });

    jintArray one = jni.array({-1}), four = jni.array({-1, -1, -1, -1});
    show("servoPulse", pulse(env, nullptr, session_, 0x51, 1500, 1, one),
         [&] { return jni.values(one); });
    show("servoCurrent", current(env, nullptr, session_, 0x51, one),
         [&] { return jni.values(one); });
    show("servoSequence", sequence(env, nullptr, session_, 1, jni.array({0x51, 0x52}),
                                   jni.array({5, 5}), jni.array({0xDC, 0xDC}), 2));
    show("adcDac", adc(env, nullptr, session_, 0x48, 200, four), [&] { return jni.values(four); });
    show("ultrasonic", ultrasonic(env, nullptr, session_, 0x70, one),
         [&] { return jni.values(one); });
    show("motorSpeed", motor(env, nullptr, session_, 0x30, 0, one),
         [&] { return jni.values(one); });

    jbyteArray loop = jni.bytes({0x55, static_cast<jbyte>(0xAA), 0x01});
    show("spiTransfer", spi(env, nullptr, session_, 1, 0, 1000000, loop, 3),
         [&] { return bytes(loop); });
    jintArray id = jni.array({0, 0, 0});
    show("eepromIdentify", identify(env, nullptr, session_, 0, id), [&] { return jni.values(id); });
    show("eepromErase", erase(env, nullptr, session_, 0));
    std::vector<jbyte> image(200);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<jbyte>(i * 3);
    show("eepromProgram", program(env, nullptr, session_, 0, 250, jni.bytes(image), 200));
    jbyteArray back = jni.bytes(std::vector<jbyte>(8));
    show("eepromRead", readBack(env, nullptr, session_, 0, 248, back, 8),
         [&] { return bytes(back); });

    jintArray range = jni.array({-1, -1});
    show("laserConnect", laserConnect(env, nullptr, session_));
    show("laserCalibrate", laserCalibrate(env, nullptr, session_));
    for (int i = 0; i < 3; ++i)
        show("laserMeasure", laserMeasure(env, nullptr, session_, range),
             [&] { return jni.values(range); });

    close(env, nullptr, session_);
    show("i2cRead after close", read(env, nullptr, session_, 0x50, in, 2));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: typed_host LIBRARY\n");
        return 2;
    }
    Library library(argv[1]);
    if (!library.loaded()) {
        std::fprintf(stderr, "typed_host: cannot load %s\n", argv[1]);
        return 1;
    }
    TypedHost host(library);
    host.run();
    return host.missing() == 0 ? 0 : 1;
}
