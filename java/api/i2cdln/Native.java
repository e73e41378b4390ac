package i2cdln;

import java.lang.invoke.MethodHandle;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.MethodType;

/**
 * The fifteen native methods of the default-package class {@code I2C_DLN}, each reached through
 * a method handle looked up once: a class in a named package cannot import the default package.
 * Loading {@code I2C_DLN} loads the native library.
 */
enum Native {
    PRINT("print", false),
    TEST("test", false),
    I2C_SCAN("i2cScan", true),
    READ("read", true),
    WRITE("write", true),
    ADCS_DAC("adcsdac", true),
    ULTRA_SONIC("Ultra_Sonic", true),
    SPI_WRITE_READ("spiWriteRead", true),
    SPI_PROGRAM_EEPROM("spiProgramEEPROM", true),
    SPI_ERASE_EEPROM("spiEraseEEPROM", true),
    DUAL_SERVO_PWM("dualServo_1500_PWM", true),
    DUAL_SERVO_CURRENT("dualServo_1500_Current", true),
    SERVO_SEQUENCE("I2C_Servo_PWM_Sequence", true),
    READ_MOTOR_SPEEDS("ReadMotorSpeeds", true),
    LASER("I2C_LaserMeasurement", true);

    /** The Java name of the native method, as exceptions and the documentation name it. */
    final String javaName;
    private final MethodHandle handle;

    Native(String javaName, boolean takesSlots) {
        this.javaName = javaName;
        MethodType type = takesSlots ? MethodType.methodType(int.class, int[].class)
                                     : MethodType.methodType(int.class);
        try {
            Class<?> natives = Class.forName("I2C_DLN", true, Native.class.getClassLoader());
            handle = MethodHandles.publicLookup().findStatic(natives, javaName, type);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException("I2C_DLN." + javaName
                    + " is not on the class path; put I2C_DLN.class (default package) there", e);
        }
    }

    /** Calls a method that takes the parameter array; returns its fixed return value. */
    int call(int[] slots) {
        try {
            return (int) handle.invokeExact(slots);
        } catch (RuntimeException | Error e) {
            throw e;
        } catch (Throwable t) {
            // The natives declare nothing checked; only a broken class path gets here.
            throw new IllegalStateException("I2C_DLN." + javaName + " failed unexpectedly", t);
        }
    }

    /** Calls {@code print} or {@code test}; returns the method's value. */
    int call() {
        try {
            return (int) handle.invokeExact();
        } catch (RuntimeException | Error e) {
            throw e;
        } catch (Throwable t) {
            throw new IllegalStateException("I2C_DLN." + javaName + " failed unexpectedly", t);
        }
    }
}
