package i2cdln;

/**
 * The natives of the library {@code i2cdln} (libi2cdln.so, i2cdln.dll): one adapter session kept
 * open between calls, each bus transaction one adapter call, every call ending in a result code.
 * Nothing is printed and no file is touched. The library must have been loaded before the first
 * call (the library loader of this package does it).
 *
 * <p>Every {@code int} native returns {@link #OK} on success (any adapter code below 0x40 is
 * success), otherwise the adapter's {@code DLN_RESULT} (0x40 to 0xFF, the names of
 * {@code dln_api.h}: 0x44 I2C NACK, 0x46 time-out...) or one of the library's own codes below,
 * which start at 0x100 so that they never collide with an adapter's. {@link #failure} then names
 * the step and the device. A session is an opaque id: a closed, stale or made-up one returns
 * {@link #NO_SESSION}, never crashes. Out-values go into caller-provided arrays, written only on
 * success unless a native says otherwise; a null or short array, or a value out of range,
 * returns {@link #BAD_ARGUMENT}. Calls on one session are serialised, so several threads may
 * share it.
 */
final class NativeSession {
    static final int OK = 0;
    /** The session handle is closed, stale or was never issued. */
    static final int NO_SESSION = 0x100;
    /** An array is null or too short, or a value is outside its range; nothing was done. */
    static final int BAD_ARGUMENT = 0x101;
    /** The call's time bound passed; it made no further adapter call. */
    static final int BOUND_PASSED = 0x102;
    /** The ranging sensor saw no target. */
    static final int NO_TARGET = 0x103;
    /** A device answered, but not as its kind does (say an EEPROM's identification). */
    static final int WRONG_DEVICE = 0x104;
    /** A device stayed busy past its time (say an EEPROM still writing). */
    static final int DEVICE_BUSY = 0x105;

    private NativeSession() {
    }

    /**
     * Connects to the DLN server at host:port, opens adapter 0 and enables I2C port 0. Returns the
     * session, or 0 with the code in {@code result[0]} (an array shorter than 1 opens nothing).
     */
    static native long open(String host, int port, int[] result);

    /** Releases the session's adapter; closing twice, or an unknown id, is harmless. */
    static native void close(long session);

    /**
     * The failure of the last call that reached the session (a refused argument does not): the
     * adapter call and the device, e.g. {@code "DlnI2cMasterRead at I2C 0x48, input 2"}; "" after
     * a success or for an unknown id.
     */
    static native String failure(long session);

    /** hardwareType, hardwareVersion, firmwareVersion, serverVersion, libraryVersion. */
    static native int version(long session, int[] out5);

    /** The addresses on I2C port 0 into {@code addresses128}, their number into {@code count1[0]}. */
    static native int scan(long session, int[] addresses128, int[] count1);

    /** Writes bytes[0..length) to address 0..127: exactly one DlnI2cMasterWrite. */
    static native int i2cWrite(long session, int address, byte[] bytes, int length);

    /** Reads length bytes from address 0..127 into buffer: exactly one DlnI2cMasterRead. */
    static native int i2cRead(long session, int address, byte[] buffer, int length);

    /**
     * Sends and receives data[0..length) in place on SPI port 0 with line 0..3, mode 0..3 and the
     * clock frequency asked for; line, mode and frequency are set inside the process-wide SPI lock.
     */
    static native int spiTransfer(long session, int line, int mode, int frequencyHz, byte[] data,
            int length);

    /**
     * One servo board's pulse width (0..65535 us) and parameter byte: five exchanges.
     * {@code stepsDone1[0]} counts the exchanges completed, also after a failure.
     */
    static native int servoPulse(long session, int address, int microseconds, int parameter,
            int[] stepsDone1);

    /** One servo board's current into {@code current1[0]}. */
    static native int servoCurrent(long session, int address, int[] current1);

    /**
     * Sets the DAC to output (0..255) and reads the board's four inputs into {@code inputs}; a
     * failure names the input, e.g. {@code "DlnI2cMasterRead at I2C 0x48, input 3"}.
     */
    static native int adcDac(long session, int address, int output, int[] inputs);

    /** The ultrasonic ranger's distance into {@code centimetres1[0]}. */
    static native int ultrasonic(long session, int address, int[] centimetres1);

    /** The motor board's speed for parameter into {@code speed1[0]}. */
    static native int motorSpeed(long session, int address, int parameter, int[] speed1);

    /**
     * The servo sequence over count (0..63) boards: each takes the parameter, then each its pulse
     * width's high and low byte (0..255).
     */
    static native int servoSequence(long session, int parameter, int[] addresses, int[] highs,
            int[] lows, int count);

    /** The EEPROM's three identification bytes into {@code id}. */
    static native int eepromIdentify(long session, int line, int[] id);

    /**
     * Erases the whole EEPROM and waits until it is done. The EEPROM natives select line 0..3 with
     * mode 0 at 1 MHz inside the SPI lock; {@link #DEVICE_BUSY} when the chip stays busy,
     * {@link #WRONG_DEVICE} when its write enable latch does not set.
     */
    static native int eepromErase(long session, int line);

    /**
     * Programs [offset, offset+length) of the 64 KiB chip from image[0..length), each page write
     * enabled and waited for; the range must have been erased.
     */
    static native int eepromProgram(long session, int line, int offset, byte[] image, int length);

    /** Reads [offset, offset+length) of the chip into buffer[0..length). */
    static native int eepromRead(long session, int line, int offset, byte[] buffer, int length);

    /**
     * Checks the ranging sensor's identification (0xEE, else {@link #WRONG_DEVICE}), resets it and
     * reads its stop variable; the session keeps the sensor's driver record. Another
     * identification (a sensor that an interrupted connect left in its reset or on a private
     * page reads 0) is read again after a reset before the device is refused. This and the
     * other laser natives make a register transfer that a NACK or a failed call hit again, up
     * to three times.
     */
    static native int laserConnect(long session);

    /**
     * The ranging sensor's static initialisation and calibrations; {@link #WRONG_DEVICE} before a
     * successful {@link #laserConnect}.
     */
    static native int laserCalibrate(long session);

    /**
     * One measurement: millimetres and the range status into {@code millimetresAndStatus2}. A range
     * status other than 0 (the sensor measured no range to trust) returns {@link #NO_TARGET}, with
     * both values written.
     */
    static native int laserMeasure(long session, int[] millimetresAndStatus2);
}
