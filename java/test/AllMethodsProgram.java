import java.util.Arrays;

/**
 * A robot program that calls each of the fifteen native methods (the laser and the EEPROM
 * programming included) and prints every return value and the slots handed back, so that its
 * output depends only on what the adapter answered: the record-and-replay test runs it once
 * against dln-sim through the recording library and once against the replay, and compares.
 * With the argument "changed-write" its raw write sends 0xEE in place of 0xFE.
 */
public final class AllMethodsProgram {
    private AllMethodsProgram() {}

    static int[] slots(int... first) {
        int[] array = new int[255];
        System.arraycopy(first, 0, array, 0, first.length);
        return array;
    }

    static void show(String call, int returned, int[] array, int count) {
        System.out.flush();
        System.out.println("# " + call + " returned " + returned + ", slots "
                + Arrays.toString(Arrays.copyOf(array, count)));
        System.out.flush();
    }

    public static void main(String[] args) {
        boolean changedWrite = args.length > 0 && args[0].equals("changed-write");
        show("test", I2C_DLN.test(), new int[0], 0);
        show("print", I2C_DLN.print(), new int[0], 0);
        int[] scan = new int[10];
        show("i2cScan", I2C_DLN.i2cScan(scan), scan, 10);

        int[] write = slots(0x50, 4, 0x10, 0xCA, changedWrite ? 0xEE : 0xFE, 0x42);
        show("write", I2C_DLN.write(write), write, 10);
        int[] pointer = slots(0x50, 1, 0x10);
        show("write", I2C_DLN.write(pointer), pointer, 10);
        int[] read = slots(0x50, 3);
        show("read", I2C_DLN.read(read), read, 10);

        int[] pwm = slots(0x51, 0x52, 0x05, 0xDC, 0x07, 0xD0, 1, 1);
        show("dualServo_1500_PWM", I2C_DLN.dualServo_1500_PWM(pwm), pwm, 10);
        int[] current = slots(0x51, 0x52);
        show("dualServo_1500_Current", I2C_DLN.dualServo_1500_Current(current), current, 10);
        int[] sequence = slots(2, 1, 0x51, 0x05, 0xDC, 0, 0x52, 0x05, 0xDC, 0);
        show("I2C_Servo_PWM_Sequence", I2C_DLN.I2C_Servo_PWM_Sequence(sequence), sequence, 10);
        int[] adc = slots(0x48, 128, -1, -1, -1, -1);
        show("adcsdac", I2C_DLN.adcsdac(adc), adc, 10);
        int[] sonic = slots(0x70);
        show("Ultra_Sonic", I2C_DLN.Ultra_Sonic(sonic), sonic, 10);
        int[] motor = slots(0x30, 0);
        show("ReadMotorSpeeds", I2C_DLN.ReadMotorSpeeds(motor), motor, 10);

        int[] loopback = slots(4, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 0x55, 0xAA, 0x01, 0x80);
        show("spiWriteRead", I2C_DLN.spiWriteRead(loopback), loopback, 12);
        int[] id = slots(4, 0, 0, 0, 0x40, 0x42, 0x0F, 0, 0x9F, 0, 0, 0);
        show("spiWriteRead", I2C_DLN.spiWriteRead(id), id, 12);
        int[] erase = slots();
        show("spiEraseEEPROM", I2C_DLN.spiEraseEEPROM(erase), erase, 10);
        int[] program = slots();
        show("spiProgramEEPROM", I2C_DLN.spiProgramEEPROM(program), program, 10);

        for (int operation : new int[] {0, 1, 2, 2, 2}) {
            int[] laser = slots(0x29, operation);
            show("I2C_LaserMeasurement " + operation, I2C_DLN.I2C_LaserMeasurement(laser), laser,
                    4);
        }
    }
}
