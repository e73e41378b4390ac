import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import org.junit.jupiter.api.Test;

/**
 * The robot's boards from Java over TCP against dln-sim's default robot: servo boards at 0x51
 * and 0x52, the ADC/DAC board at 0x48, the ultrasonic ranger at 0x70, the motor board at 0x30.
 */
public class BoardsTest {
    static final String ADAPTER_BLOCK = "DLN-4M\n\nHardware Version:1.0.0.0\nserverVersion:0.3.1.0\n"
            + "libraryVersion:0.4.2.0\n0\nfreq= 100000\nI2C Enabled\n";

    static int[] slots(int... first) {
        int[] slots = new int[255];
        Arrays.fill(slots, -1);
        System.arraycopy(first, 0, slots, 0, first.length);
        return slots;
    }

    static void call(String key, java.util.function.ToIntFunction<int[]> method, int[] slots) {
        long start = System.nanoTime();
        NativeRun.report(key + "Return", method.applyAsInt(slots));
        NativeRun.report(key + "Ms", (System.nanoTime() - start) / 1_000_000);
        NativeRun.report(key, Arrays.copyOf(slots, 12));
    }

    static String passing(String head, String word, int[] values) {
        StringBuilder text = new StringBuilder(head);
        for (int i = 0; i < 10; i++) {
            text.append("Passing ").append(i).append(' ').append(word).append('=')
                    .append(values[i]).append('\n');
        }
        return text.toString();
    }

    public static void sensorBoardsChild() {
        call("adc", I2C_DLN::adcsdac, slots(0x48, 0x1C0));
        call("sonic", I2C_DLN::Ultra_Sonic, slots(0x70));
        call("motor", I2C_DLN::ReadMotorSpeeds, slots(0x30, 2));
    }

    @Test
    void sensorBoardsReturnWhatTheRobotSenses() throws Exception {
        try (SimServer sim = SimServer.start()) {
            NativeRun run = NativeRun.run("BoardsTest#sensorBoardsChild");
            assertEquals(0, run.exitCode, run.stderr);
            assertEquals("10", run.reported("adcReturn").get(0));
            // Channel 4 is wired to the output, which took the low byte of the DAC slot.
            int[] adc = {0x48, 0x1C0, 0x3A, 0x7F, 0xC4, 0xC0, -1, -1, -1, -1, -1, -1};
            assertArrayEquals(adc, run.reportedInts("adc"));
            assertEquals("10", run.reported("sonicReturn").get(0));
            // 300 cm: low byte 0x2C, high byte 0x01, between the fixed markers 237 and 170.
            int[] sonic = {0x70, -1, 237, 0x2C, 0x01, 170, -1, -1, -1, -1, -1, -1};
            assertArrayEquals(sonic, run.reportedInts("sonic"));
            assertEquals("10", run.reported("motorReturn").get(0));
            assertArrayEquals(new int[] {0x30, 2, 100, 170, 171, 172, -1, -1, -1, -1, -1, -1},
                    run.reportedInts("motor"));
            // The ranger's three 100 ms waits and the motor board's 100 + 100 + 10 ms are real.
            assertTrue(Long.parseLong(run.reported("sonicMs").get(0)) >= 300);
            assertTrue(Long.parseLong(run.reported("motorMs").get(0)) >= 210);

            String adcOut = ADAPTER_BLOCK + "ADC 1 =3a \nADC 2 =7f \nADC 3 =c4 \nADC 4 =c0 \n"
                    + passing("Passing ADCs DAC  Data =48\n", "value", adc);
            String sonicOut = ADAPTER_BLOCK + "TEMP 1 =16 \nSCAN LSB  2 =2c \nSCAN MSB =1 \n"
                    + passing("Passing SCAN 1825 Data =70\n", "value", sonic);
            // The motor read prints nothing at all.
            assertEquals(adcOut + sonicOut, run.stdout);
        }
    }

    public static void servoBoardsChild() {
        call("current", I2C_DLN::dualServo_1500_Current, slots(0x51, 0x52));
        int[] sequence = slots(2, 0x0C, 0x51, 0x05, 0xDC, 0, 0x52, 0x06, 0x40, 0);
        call("sequence", I2C_DLN::I2C_Servo_PWM_Sequence, sequence);
        call("pwm", I2C_DLN::dualServo_1500_PWM,
                slots(0x51, 0x52, 0x05, 0xDC, 0x06, 0x40, 0x11, 0x22, 99, 98));
    }

    @Test
    void servoBoardsAnswerTheirCommands() throws Exception {
        try (SimServer sim = SimServer.start()) {
            NativeRun run = NativeRun.run("BoardsTest#servoBoardsChild");
            assertEquals(0, run.exitCode, run.stderr);
            assertEquals("3", run.reported("currentReturn").get(0));
            assertArrayEquals(new int[] {0x51, 0x52, -1, -1, -1, -1, 0x2C, 0x31, 0, 0, -1, -1},
                    run.reportedInts("current"));
            assertEquals("3", run.reported("sequenceReturn").get(0));
            assertArrayEquals(new int[] {2, 0x0C, 0x51, 0x05, 0xDC, 0, 0x52, 0x06, 0x40, 0, -1, -1},
                    run.reportedInts("sequence"));
            assertEquals("3", run.reported("pwmReturn").get(0));
            assertArrayEquals(new int[] {0x51, 0x52, 5, 0xDC, 6, 0x40, 0x11, 0x40, 0xDC, 0xDC, -1, -1},
                    run.reportedInts("pwm"));
            // The sequence left parameter 0x0C on the first board: its answer to the next 0xA3.
            String pwmLines = "SERVO  1 =c \nServo Read 1 =c \nSERVO  1 =61 \nServo Read 1 =61 \n"
                    + "Servo Read 1 =61 \nSERVO  1 =5 \nServo Read 1 =22 \nSERVO  1 =62 \n"
                    + "Servo Read 1 =6 \nServo Read 1 =40 \nPassing Write Data =51\n";
            assertTrue(run.stdout.endsWith(ADAPTER_BLOCK + pwmLines), run.stdout);
            assertTrue(run.stdout.contains(ADAPTER_BLOCK
                    + "SERVO  0 Current =2c \nSERVO  1 Current =31 \nPassing Write Data =51\n"));
        }
    }

    public static void addressZeroChild() {
        call("pwm", I2C_DLN::dualServo_1500_PWM, slots(0, 0x52, 1, 2, 3, 4, 5, 6));
        call("current", I2C_DLN::dualServo_1500_Current, slots(0, 0x52, 1, 2, 3, 4));
    }

    @Test
    void addressZeroDoesNothingOnTheBus() throws Exception {
        Path trace = Files.createTempFile("boards-trace", ".txt");
        try {
            NativeRun run;
            try (SimServer sim = SimServer.start(null, trace)) {
                run = NativeRun.run("BoardsTest#addressZeroChild");
            }
            assertEquals(0, run.exitCode, run.stderr);
            assertArrayEquals(new int[] {0, 0x52, 1, 2, 3, 4, 5, 6, -1, -1, -1, -1},
                    run.reportedInts("pwm"));
            assertArrayEquals(new int[] {0, 0x52, 1, 2, 3, 4, -1, -1, -1, -1, -1, -1},
                    run.reportedInts("current"));
            String zero = "I2C Address Zero. Nothing to be done.\n";
            assertEquals(2, run.stdout.split(zero, -1).length - 1, run.stdout);
            // The server saw no adapter call at all.
            String calls = Files.readString(trace);
            assertFalse(calls.contains("Dln"), calls);
        } finally {
            Files.deleteIfExists(trace);
        }
    }
}
