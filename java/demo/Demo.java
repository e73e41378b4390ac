import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Drives the whole simulated robot through the fifteen native methods of I2C_DLN, in the order
 * a robot program would, and ends with a summary of what each step measured and whether it
 * succeeded. The library prints its own progress on standard output as it goes. Exits with 1
 * when a step failed.
 */
public class Demo {
    // The default robot of dln-sim (see the README).
    static final int REGISTER_DEVICE = 0x50;
    static final int SERVO_A = 0x51;
    static final int SERVO_B = 0x52;
    static final int ADC_DAC = 0x48;
    static final int ULTRASONIC = 0x70;
    static final int MOTOR = 0x30;
    static final int LASER = 0x29;
    static final int EEPROM_LINE = 0;
    static final int LOOPBACK_LINE = 1;

    private record Step(String name, boolean ok, String measured) {}

    private final List<Step> steps = new ArrayList<>();

    private void step(String name, boolean ok, String measured) {
        steps.add(new Step(name, ok, measured));
        System.out.flush();
        System.err.printf("%n=== %s: %s (%s)%n", name, ok ? "ok" : "FAILED", measured);
    }

    /** A parameter array of the 255 slots the library reads, starting with the given values. */
    static int[] slots(int... first) {
        int[] array = new int[255];
        System.arraycopy(first, 0, array, 0, first.length);
        return array;
    }

    private void adapterAndBus() {
        step("banner", I2C_DLN.test() == 0, "library banner printed");
        int result = I2C_DLN.print();
        step("adapter description", result != 38, "print returned " + result);
        int[] scan = new int[10];
        I2C_DLN.i2cScan(scan);
        StringBuilder found = new StringBuilder();
        for (int address : scan) {
            if (address != 0) {
                found.append(found.length() == 0 ? "" : " ").append(hex(address));
            }
        }
        boolean all = Arrays.stream(new int[] {LASER, MOTOR, ADC_DAC, REGISTER_DEVICE, SERVO_A,
                SERVO_B, ULTRASONIC}).allMatch(a -> Arrays.stream(scan).anyMatch(s -> s == a));
        step("bus scan", all, found.length() == 0 ? "no devices" : found.toString());
    }

    private void rawBytes() {
        int[] data = {0x10, 0xCA, 0xFE, 0x42};
        int[] write = slots(REGISTER_DEVICE, data.length, data[0], data[1], data[2], data[3]);
        I2C_DLN.write(write);
        I2C_DLN.write(slots(REGISTER_DEVICE, 1, 0x10)); // register pointer back to 0x10
        int[] read = slots(REGISTER_DEVICE, 3);
        I2C_DLN.read(read);
        boolean ok = read[2] == 0xCA && read[3] == 0xFE && read[4] == 0x42;
        step("raw write and read", ok, String.format("registers 0x10.. read back %02x %02x %02x",
                read[2], read[3], read[4]));
    }

    private void servoSweep() {
        StringBuilder currents = new StringBuilder();
        boolean ok = true;
        for (int width : new int[] {1000, 1500, 2000}) {
            int msb = width >> 8;
            int lsb = width & 0xFF;
            int[] pwm = slots(SERVO_A, SERVO_B, msb, lsb, msb, lsb, 1, 1);
            I2C_DLN.dualServo_1500_PWM(pwm);
            ok &= pwm[8] == lsb && pwm[9] == lsb && pwm[7] == lsb;
            int[] current = slots(SERVO_A, SERVO_B);
            I2C_DLN.dualServo_1500_Current(current);
            ok &= current[8] == 0 && current[9] == 0;
            currents.append(String.format("%d us: %d/%d  ", width, current[6], current[7]));
        }
        step("servo sweep + currents", ok, currents.toString().trim());
        int[] sequence = slots(2, 1, SERVO_A, 0x05, 0xDC, 0, SERVO_B, 0x05, 0xDC, 0);
        int[] before = sequence.clone();
        I2C_DLN.I2C_Servo_PWM_Sequence(sequence);
        step("servo sequence to 1500 us", Arrays.equals(before, sequence),
                "two boards, array handed back unchanged");
    }

    private void analogue() {
        StringBuilder values = new StringBuilder();
        boolean ok = true;
        for (int dac : new int[] {0, 128, 255}) {
            int[] adc = slots(ADC_DAC, dac, -1, -1, -1, -1);
            I2C_DLN.adcsdac(adc);
            // Input 4 of the robot's board is wired to the output.
            ok &= adc[2] >= 0 && adc[3] >= 0 && adc[4] >= 0 && adc[5] == dac;
            values.append(String.format("DAC %d: %d %d %d %d  ", dac, adc[2], adc[3], adc[4],
                    adc[5]));
        }
        step("ADC channels while DAC steps", ok, values.toString().trim());
    }

    private void rangeAndSpeed() {
        int[] sonic = slots(ULTRASONIC);
        I2C_DLN.Ultra_Sonic(sonic);
        step("ultrasonic range", sonic[2] == 237 && sonic[5] == 170,
                (sonic[3] + 256 * sonic[4]) + " cm");
        int[] motor = slots(MOTOR, 0);
        I2C_DLN.ReadMotorSpeeds(motor);
        step("motor speed", motor[3] == 170 && motor[4] == 171 && motor[5] == 172,
                "speed byte " + motor[2]);
    }

    /** One full-duplex SPI transfer at 1 MHz, mode 0; returns the bytes received. */
    static int[] spi(int line, int... bytes) {
        int[] array = slots(bytes.length, 0, 0, line, 0x40, 0x42, 0x0F, 0);
        System.arraycopy(bytes, 0, array, 8, bytes.length);
        I2C_DLN.spiWriteRead(array);
        return Arrays.copyOfRange(array, 8, 8 + bytes.length);
    }

    private void spiLoopback() {
        int[] sent = {0x55, 0xAA, 0x01, 0x80, 0xFF, 0x00};
        int[] received = spi(LOOPBACK_LINE, sent);
        step("SPI loopback transfer", Arrays.equals(sent, received),
                sent.length + " bytes came back as sent");
    }

    private void eeprom() throws IOException {
        // Selects the EEPROM again (the programmer uses the line last selected).
        int[] id = spi(EEPROM_LINE, 0x9F, 0, 0, 0);
        step("EEPROM identification", id[1] != 0 && id[1] != 0xFF,
                String.format("%02x %02x %02x", id[1], id[2], id[3]));
        I2C_DLN.spiEraseEEPROM(slots());
        int[] image = HexImage.load(Path.of("program.hex"));
        long start = System.nanoTime();
        I2C_DLN.spiProgramEEPROM(slots());
        long ms = (System.nanoTime() - start) / 1_000_000;
        int mismatches = 0;
        final int chunk = 240;
        int last = HexImage.lastUsedAddress(image);
        for (int address = 0; address <= last; address += chunk) {
            int[] command = new int[4 + chunk];
            command[0] = 0x03; // read from a 24-bit address
            command[2] = address >> 8;
            command[3] = address & 0xFF;
            int[] reply = spi(EEPROM_LINE, command);
            for (int i = 0; i < chunk && address + i < image.length; i++) {
                if (reply[4 + i] != image[address + i]) {
                    mismatches++;
                }
            }
        }
        List<String> dump = Files.readAllLines(Path.of("zz.dat"));
        boolean dumpOk = dump.size() == 65536 && dump.get(last).equals(
                Integer.toHexString(last) + "  " + Integer.toHexString(image[last]));
        step("EEPROM programmed from program.hex", mismatches == 0 && dumpOk,
                String.format("%d bytes verified in %d ms, %d mismatches, zz.dat %d lines",
                        last + 1, ms, mismatches, dump.size()));
    }

    private void laser() throws InterruptedException {
        int[] connect = slots(LASER, 0);
        I2C_DLN.I2C_LaserMeasurement(connect);
        int[] calibrate = slots(LASER, 1);
        I2C_DLN.I2C_LaserMeasurement(calibrate);
        StringBuilder ranges = new StringBuilder();
        boolean ok = true;
        for (int i = 0; i < 10; i++) {
            int[] measure = slots(LASER, 2);
            I2C_DLN.I2C_LaserMeasurement(measure);
            int range = measure[2] * 256 + measure[3];
            ok &= range > 0 && range < 8190;
            ranges.append(range).append(' ');
            Thread.sleep(200);
        }
        step("laser ranges (mm)", ok, ranges.toString().trim());
    }

    static String hex(int value) {
        return String.format("0x%02x", value);
    }

    private int summary() {
        System.out.flush();
        System.out.println();
        System.out.println("Step                                  Result  Measured");
        System.out.println("------------------------------------  ------  --------");
        int failed = 0;
        for (Step step : steps) {
            System.out.printf("%-36s  %-6s  %s%n", step.name(), step.ok() ? "ok" : "FAILED",
                    step.measured());
            if (!step.ok()) {
                failed++;
            }
        }
        System.out.println(failed == 0 ? "All " + steps.size() + " steps succeeded."
                                       : failed + " of " + steps.size() + " steps failed.");
        return failed;
    }

    public static void main(String[] args) throws Exception {
        Demo demo = new Demo();
        demo.adapterAndBus();
        demo.rawBytes();
        demo.servoSweep();
        demo.analogue();
        demo.rangeAndSpeed();
        demo.spiLoopback();
        demo.eeprom();
        demo.laser();
        System.exit(demo.summary() == 0 ? 0 : 1);
    }
}
