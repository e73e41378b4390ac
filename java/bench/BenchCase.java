import i2cdln.Dln;
import i2cdln.I2cDevice;
import java.util.List;

/** One measured native call with its arguments and the calls it needs before it. */
abstract class BenchCase {
    final String name;
    final int reps; // timed calls at scale 1

    BenchCase(String name, int reps) {
        this.name = name;
        this.reps = reps;
    }

    /** What must run once before the measured calls (laser operations 0 and 1). */
    void prepare() {}

    abstract void call();

    /** Prepares and makes one untimed call; false when the library lacks the method. */
    boolean setUp() {
        try {
            prepare();
            call();
            return true;
        } catch (UnsatisfiedLinkError e) {
            return false;
        }
    }

    static BenchCase of(String name, int reps, Runnable call) {
        return new BenchCase(name, reps) {
            @Override
            void call() {
                call.run();
            }
        };
    }

    /** The typed API's view of the register device the raw read reads. */
    static final I2cDevice TYPED_DEVICE = Dln.create().i2c(0x50);

    static int[] slots(int... head) {
        int[] slots = new int[255];
        System.arraycopy(head, 0, slots, 0, head.length);
        return slots;
    }

    static int laser(int operation) {
        int[] slots = slots(0x29, operation);
        I2C_DLN.I2C_LaserMeasurement(slots);
        return slots[2] << 8 | slots[3];
    }

    /** The cases of the table, in its order. Addresses as in java/bench/bench.json. */
    static List<BenchCase> all() {
        BenchCase laser = new BenchCase("laser_op2", 40) {
            @Override
            void prepare() {
                laser(0);
                laser(1);
            }

            @Override
            void call() {
                laser(2);
            }
        };
        return List.of(
                of("write_1_byte", 400, () -> I2C_DLN.write(slots(0x50, 1, 0x10))),
                of("read_8_bytes", 400, () -> I2C_DLN.read(slots(0x50, 8))),
                of("typed_read_8_bytes", 400, () -> TYPED_DEVICE.read(8)),
                of("i2cScan", 400, () -> I2C_DLN.i2cScan(new int[255])),
                of("dualServo_1500_PWM", 400, () -> I2C_DLN.dualServo_1500_PWM(
                        slots(0x51, 0x52, 0x05, 0xDC, 0x05, 0xDC, 0x01, 0x02))),
                laser,
                of("spiProgramEEPROM_64KiB", 10, () -> I2C_DLN.spiProgramEEPROM(new int[255])));
    }
}
