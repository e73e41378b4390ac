import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.ToIntFunction;
import org.junit.jupiter.api.Test;

/**
 * Every array method called from Java with arrays and values it cannot use, in one child JVM
 * under -Xcheck:jni against dln-sim with a trace: the JVM survives, each call prints its line,
 * refused calls reach no adapter and leave the array as it was, and no slot beyond those a
 * method hands back changes.
 */
public class BadInputTest {
    /** The method, the value it returns when it refuses an array, and the slots it needs. */
    record Method(String name, ToIntFunction<int[]> call, int refused, int needs) {}

    static final Map<String, Method> METHODS = new LinkedHashMap<>();

    static void add(String name, ToIntFunction<int[]> call, int refused, int needs) {
        METHODS.put(name, new Method(name, call, refused, needs));
    }

    static {
        add("i2cScan", I2C_DLN::i2cScan, 10, 10);
        add("read", I2C_DLN::read, 0, 255);
        add("write", I2C_DLN::write, 3, 255);
        add("adcsdac", I2C_DLN::adcsdac, 10, 255);
        add("Ultra_Sonic", I2C_DLN::Ultra_Sonic, 10, 255);
        add("spiWriteRead", I2C_DLN::spiWriteRead, 3, 1); // then slot 0 + 8
        add("spiProgramEEPROM", I2C_DLN::spiProgramEEPROM, 3, 255);
        add("spiEraseEEPROM", I2C_DLN::spiEraseEEPROM, 3, 255);
        add("dualServo_1500_PWM", I2C_DLN::dualServo_1500_PWM, 3, 255);
        add("dualServo_1500_Current", I2C_DLN::dualServo_1500_Current, 3, 255);
        add("I2C_Servo_PWM_Sequence", I2C_DLN::I2C_Servo_PWM_Sequence, 3, 255);
        add("ReadMotorSpeeds", I2C_DLN::ReadMotorSpeeds, 10, 255);
        add("I2C_LaserMeasurement", I2C_DLN::I2C_LaserMeasurement, 10, 255);
    }

    /**
     * One call. A refused call must print exactly its line (or contain it, when the method
     * still echoes), make no adapter traffic and leave the array unchanged. Any call leaves
     * the slots from keptFrom on as they were.
     */
    record Case(String method, int[] array, boolean refused, boolean whole, String line,
            int expectedReturn, int keptFrom) {}

    static int[] sentinels(int length) {
        int[] slots = new int[length];
        for (int i = 0; i < length; i++) {
            slots[i] = 0x5EED0000 + i;
        }
        return slots;
    }

    static int[] slots(int length, int... leading) {
        int[] slots = sentinels(length);
        System.arraycopy(leading, 0, slots, 0, leading.length);
        return slots;
    }

    static String refusal(String method, String why, int needs) {
        return method + ": the parameter array " + why + "; it needs at least " + needs
                + " slots. Nothing done.\n";
    }

    static List<Case> cases() {
        List<Case> cases = new ArrayList<>();
        for (Method m : METHODS.values()) {
            cases.add(new Case(m.name, null, true, true, refusal(m.name, "is null", m.needs),
                    m.refused, 0));
            cases.add(new Case(m.name, new int[0], true, true,
                    refusal(m.name, "is too short", m.needs), m.refused, 0));
            if (m.needs > 1) {
                cases.add(new Case(m.name, sentinels(m.needs - 1), true, true,
                        refusal(m.name, "is too short", m.needs), m.refused, 0));
            }
        }
        // Five bytes need 13 slots; 12 are one short.
        cases.add(new Case("spiWriteRead", slots(12, 5), true, true,
                refusal("spiWriteRead", "is too short", 13), 3, 0));
        for (int count : new int[] {-1, 252, Integer.MAX_VALUE, Integer.MIN_VALUE}) {
            cases.add(new Case("read", slots(255, 0x50, count), true, true,
                    "read: byte count " + count + " is outside 0..251; nothing read\n", 0, 0));
        }
        for (int count : new int[] {-1, 254, Integer.MAX_VALUE}) {
            cases.add(new Case("write", slots(255, 0x50, count), true, true,
                    "write: byte count " + count + " is outside 0..253; nothing written\n", 3, 0));
        }
        for (int count : new int[] {-1, 248, Integer.MAX_VALUE, Integer.MIN_VALUE}) {
            cases.add(new Case("spiWriteRead", slots(255, count, 0, 0, 1), true, true,
                    "spiWriteRead: byte count " + count
                            + " is outside 0..247; nothing transferred\n", 3, 0));
        }
        for (int address : new int[] {128, 0x129, -1, Integer.MAX_VALUE}) {
            cases.add(new Case("read", slots(255, address, 1), true, true, "read: device address "
                    + address + " is outside 0..127; nothing read\n", 5, 0));
            cases.add(new Case("write", slots(255, address, 1), true, true, "write: device address "
                    + address + " is outside 0..127; nothing written\n", 3, 0));
        }
        for (int count : new int[] {64, 1000, Integer.MAX_VALUE}) {
            cases.add(new Case("I2C_Servo_PWM_Sequence", slots(255, count, 0), true, false,
                    "I2C_Servo_PWM_Sequence: " + count + " servo records do not fit in the array "
                            + "(at most 63). Nothing to be done.\n", 3, 0));
        }
        for (String servo : new String[] {"dualServo_1500_PWM", "dualServo_1500_Current"}) {
            cases.add(new Case(servo, slots(255, 0), true, false,
                    "I2C Address Zero. Nothing to be done.\n", 3, 0));
        }
        // Tolerated: the call goes ahead with a defined meaning of the odd value.
        for (int line : new int[] {7, -1, Integer.MIN_VALUE}) {
            cases.add(new Case("spiWriteRead", slots(20, 1, 0, 0, line, 0x40, 0x42, 0x0F, 0),
                    false, false, "SPI C READ:0\t", 3, 9));
        }
        for (int code : new int[] {3, -1, Integer.MAX_VALUE}) {
            cases.add(new Case("I2C_LaserMeasurement", slots(255, 0x29, code), false, false,
                    "Laser Operation UNKOWN\n", 10, 10));
        }
        // Board addresses are the slot's low 8 bits: 0x1A9 is 0xA9, which no bus can carry.
        cases.add(new Case("adcsdac", slots(255, 0x1A9, 7), false, false,
                "DlnI2cMasterWriteDevices() failed\n", 10, 10));
        // Copy-back stays within its slots: 10 for read, 5 + 8 for spiWriteRead.
        cases.add(new Case("read", slots(255, 0x50, 20), false, false,
                "I2C Read Passing back  23 ", 24, 10));
        cases.add(new Case("spiWriteRead", slots(20, 5, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 1, 2, 3, 4,
                5), false, false, "SPI C READ:4\t5\n", 3, 13));
        cases.add(new Case("i2cScan", sentinels(10), false, false, "Passing 9 address=", 10, 10));
        return cases;
    }

    static long traceLines() throws Exception {
        try (var lines = Files.lines(Path.of("trace.txt"))) {
            return lines.count();
        }
    }

    /** In the child: one marker line per case, the library's output flushed after each. */
    public static void child() throws Exception {
        System.out.println("@@banner");
        System.out.flush();
        I2C_DLN.test(); // flushes the library's standard output
        List<Case> cases = cases();
        for (int i = 0; i < cases.size(); i++) {
            Case c = cases.get(i);
            int[] array = c.array == null ? null : c.array.clone();
            System.out.println("@@case " + i);
            System.out.flush();
            long before = traceLines();
            int result = METHODS.get(c.method).call.applyAsInt(array);
            I2C_DLN.test();
            NativeRun.report("return" + i, result);
            NativeRun.report("traffic" + i, traceLines() - before);
            if (array != null) {
                NativeRun.report("array" + i, array);
            }
        }
        System.out.println("@@end");
        System.out.flush();
        NativeRun.report("survived", "yes");
    }

    @Test
    void everyBadCallIsAnsweredWithoutTrafficOrStrayWrites() throws Exception {
        Path dir = Files.createTempDirectory("bad-input");
        NativeRun run;
        try (SimServer sim = SimServer.start(null, dir.resolve("trace.txt"))) {
            run = NativeRun.run("BadInputTest#child", dir, List.of("-Xcheck:jni"));
        }
        assertEquals("yes", run.reported("survived").isEmpty() ? "no" : "yes",
                "the child JVM did not get through:\n" + run.stderr + run.stdout);
        assertEquals(0, run.exitCode);
        String[] parts = run.stdout.split("@@", -1);
        String banner = parts[1].substring("banner\n".length());
        List<Case> cases = cases();
        assertEquals(cases.size() + 3, parts.length, run.stdout);
        for (int i = 0; i < cases.size(); i++) {
            Case c = cases.get(i);
            String what = i + ": " + c.method + " " + (c.array == null ? "null"
                    : c.array.length + " slots " + Arrays.toString(Arrays.copyOf(c.array,
                            Math.min(4, c.array.length))));
            String out = parts[i + 2].substring(("case " + i + "\n").length());
            assertTrue(out.endsWith(banner), what + " printed after the flush:\n" + out);
            out = out.substring(0, out.length() - banner.length());
            if (c.whole) {
                assertEquals(c.line, out, what);
            } else {
                assertTrue(out.contains(c.line), what + " lacks " + c.line + " in:\n" + out);
            }
            assertEquals(String.valueOf(c.expectedReturn), run.reported("return" + i).get(0),
                    what);
            if (c.refused) {
                assertEquals("0", run.reported("traffic" + i).get(0), what + " reached the bus");
            }
            if (c.array != null) {
                int[] after = run.reportedInts("array" + i);
                int from = c.refused ? 0 : c.keptFrom;
                assertArrayEquals(Arrays.copyOfRange(c.array, from, c.array.length),
                        Arrays.copyOfRange(after, from, after.length), what + " changed slots");
            }
        }
    }
}
