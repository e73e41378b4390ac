/**
 * The native methods of the I2C_DLN library. Each method with an int[] takes its arguments
 * from the array and hands its results back in the array's first slots; the return value is
 * fixed per method and says nothing about success. Progress and errors are printed by the
 * library on standard output.
 */
public class I2C_DLN {
    static {
        // The jar's loader extracts and loads the native libraries it carries; a copy of this
        // file on its own loads I2C_DLN from java.library.path.
        Class<?> loader = null;
        try {
            loader = Class.forName("i2cdln.NativeLibrary", true, I2C_DLN.class.getClassLoader());
        } catch (ClassNotFoundException absent) {
            System.loadLibrary("I2C_DLN");
        }
        if (loader != null) {
            try {
                loader.getMethod("load").invoke(null);
            } catch (java.lang.reflect.InvocationTargetException e) {
                if (e.getCause() instanceof Error) {
                    throw (Error) e.getCause();
                }
                throw new IllegalStateException("i2cdln.NativeLibrary.load failed", e.getCause());
            } catch (ReflectiveOperationException e) {
                throw new IllegalStateException("i2cdln.NativeLibrary.load is not callable", e);
            }
        }
    }

    /** Prints the adapter and the I2C devices present. */
    public static native int print();

    /** Prints the library's banner. Returns 0. */
    public static native int test();

    /** Scans the I2C bus; slots 0-9 receive the addresses found, 0 after the last. */
    public static native int i2cScan(int[] paramArray);

    /** Slot 0 address, slot 1 count (0..251); the bytes read come back from slot 2. */
    public static native int read(int[] paramArray);

    /** Slot 0 address, slot 1 count (0..253), the bytes to send from slot 2. */
    public static native int write(int[] paramArray);

    public static native int adcsdac(int[] paramArray);

    public static native int Ultra_Sonic(int[] paramArray);

    /** Slot 0 count (0..247), 1 CPOL, 2 CPHA, 3 slave select, 4-7 frequency, data from 8. */
    public static native int spiWriteRead(int[] paramArray);

    /** Erases the SPI EEPROM and programs it from "program.hex". */
    public static native int spiProgramEEPROM(int[] paramArray);

    public static native int spiEraseEEPROM(int[] paramArray);

    public static native int dualServo_1500_PWM(int[] paramArray);

    public static native int dualServo_1500_Current(int[] paramArray);

    public static native int I2C_Servo_PWM_Sequence(int[] paramArray);

    public static native int ReadMotorSpeeds(int[] paramArray);

    /** Slot 1: 0 connect, 1 calibrate, 2 measure (range in slots 2 and 3). */
    public static native int I2C_LaserMeasurement(int[] paramArray);
}
